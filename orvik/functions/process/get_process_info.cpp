// get_process_info: one process's entry of the host's process cache, chosen
// by pid or by host uid, with any of its attributes written into the rule's
// variables. The host is told who is asking through a caller tag.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/format_string.h"
#include "common/utf.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/host_entry.h"
#include "orvik/context/host_objects.h"
#include "process_cache_caller.h"
#include "process_functions.h"
#include "process_record.h"
#include "sid_text.h"

namespace ScanEngine::Process {
namespace {

// Record fields with a meaning of their own.
constexpr std::uint16_t kFieldImageNt = 14;
constexpr std::uint16_t kFieldNoImage = 16;
constexpr std::uint16_t kFieldUserSid = 31;
constexpr std::uint16_t kFieldPrivileges = 88;

// Room the host gets for a DOS path, in UTF-16 code units.
constexpr std::uint32_t kDosPathUnits = 32768;

struct IntegerBinding {
    bool found = false;
    std::int64_t value = 0;
    std::unique_ptr<IntegerAddress> out;
};

struct StringBinding {
    bool found = false;
    std::string value;
    std::unique_ptr<StringAddress> out;
};

// The outputs the call supplies, keyed by the record field that feeds them.
// No-image flag and image names are derived after decoding and stand apart.
struct Bindings {
    std::map<std::uint16_t, IntegerBinding> integers;
    std::map<std::uint16_t, StringBinding> strings;
    std::unique_ptr<IntegerAddress> noimage;
    std::unique_ptr<StringAddress> image_filename;
    std::unique_ptr<StringAddress> image_filename_nt;
};

void BindInteger(const ArgParse& args, Bindings& bindings, ArgName arg, std::uint16_t field) {
    if (args.IsGiven(arg)) bindings.integers[field].out = args.GetIntegerAddress(arg);
}

void BindString(const ArgParse& args, Bindings& bindings, ArgName arg, std::uint16_t field) {
    if (args.IsGiven(arg)) bindings.strings[field].out = args.GetStringAddress(arg);
}

Bindings Bind(const ArgParse& args) {
    Bindings b;
    BindInteger(args, b, arg::process_pid, 4);
    BindInteger(args, b, arg::process_uid, 5);
    BindInteger(args, b, arg::parent_pid, 6);
    BindInteger(args, b, arg::parent_process_uid, 7);
    if (args.IsGiven(arg::image_filename)) b.image_filename = args.GetStringAddress(arg::image_filename);
    if (args.IsGiven(arg::image_filename_nt)) b.image_filename_nt = args.GetStringAddress(arg::image_filename_nt);
    BindString(args, b, arg::cmdline, 15);
    BindString(args, b, arg::cwd, 89);
    if (args.IsGiven(arg::noimage)) b.noimage = args.GetIntegerAddress(arg::noimage);
    BindInteger(args, b, arg::terminated, 17);
    BindInteger(args, b, arg::start_timestamp, 54);
    BindInteger(args, b, arg::exit_timestamp, 87);
    BindString(args, b, arg::process_user_sid, kFieldUserSid);
    BindString(args, b, arg::process_privileges, kFieldPrivileges);
    BindInteger(args, b, arg::is_admin, 85);
    BindInteger(args, b, arg::integrity_level, 86);
    return b;
}

// Which process to ask for; raises the selection messages.
struct Selection {
    bool by_uid = false;
    std::uint64_t uid = 0;
    std::uint32_t pid = 0;
};

Selection Select(const ArgParse& args) {
    const bool pid_given = args.IsGiven(arg::query_pid);
    const bool uid_given = args.IsGiven(arg::query_puid);
    if (pid_given && uid_given)
        throw COMMON_ERROR(Common::FormatString("arguments '%s' and '%s' are mutually exclusive", arg::query_pid.name,
                                                arg::query_puid.name));
    Selection selection;
    if (pid_given) {
        selection.pid = static_cast<std::uint32_t>(args.GetInteger(arg::query_pid));
        if (selection.pid == 0)
            throw COMMON_ERROR(Common::FormatString("argument '%s' cannot be zero", arg::query_pid.name));
        return selection;
    }
    if (!uid_given)
        throw COMMON_ERROR(
            Common::FormatString("argument '%s' or '%s' is required", arg::query_pid.name, arg::query_puid.name));
    selection.by_uid = true;
    selection.uid = static_cast<std::uint64_t>(args.GetInteger(arg::query_puid));
    if (selection.uid == 0)
        throw COMMON_ERROR(Common::FormatString("argument '%s' cannot be zero", arg::query_puid.name));
    return selection;
}

// What decoding found for the derived outputs.
struct Derived {
    std::optional<std::uint8_t> no_image;
    std::optional<std::u16string> image_nt;
};

void Decode(const std::uint8_t* data, std::size_t size, Bindings& bindings, Derived& derived,
            LibraryContext& library) {
    ProcessRecordReader reader(data, size);
    RecordEntry entry;
    while (reader.Next(entry)) {
        switch (entry.field) {
            case kFieldNoImage:
                if (entry.type == RecordValueType::kUInt8 || entry.type == RecordValueType::kBoolean)
                    derived.no_image = static_cast<std::uint8_t>(entry.integer);
                continue;
            case kFieldImageNt:
                if (entry.type == RecordValueType::kUtf16Text) derived.image_nt = entry.Utf16();
                continue;
            case kFieldUserSid:
            case kFieldPrivileges: {
                if (entry.type != RecordValueType::kBinary) continue;
                auto it = bindings.strings.find(entry.field);
                if (it == bindings.strings.end()) continue;
                it->second.value = entry.field == kFieldUserSid ? SidText(entry.data, entry.length)
                                                                : library.FormatPrivileges(entry.data, entry.length);
                it->second.found = true;
                continue;
            }
            default:
                break;
        }
        if (IsIntegerType(entry.type)) {
            if (auto it = bindings.integers.find(entry.field); it != bindings.integers.end()) {
                it->second.value = entry.integer;
                it->second.found = true;
            }
        } else if (entry.type == RecordValueType::kText || entry.type == RecordValueType::kUtf16Text) {
            if (auto it = bindings.strings.find(entry.field); it != bindings.strings.end()) {
                it->second.value = entry.Text();
                it->second.found = true;
            }
        }
    }
}

// The DOS form of an NT image path, or nothing when the host cannot convert it.
std::optional<std::string> DosPath(LibraryContext& library, const std::u16string& nt_path) {
    const std::wstring nt(nt_path.begin(), nt_path.end());
    // On the heap: a 64 KiB array could overflow the small stack of a host thread.
    std::vector<wchar_t> dos(kDosPathUnits, L'\0');
    std::uint32_t units = kDosPathUnits;
    if (library.ConvertNtPathToDosPath(nt.c_str(), dos.data(), &units) != 0 || units == 0) return std::nullopt;
    // A host that claims more than the buffer holds has not given a usable answer.
    if (units > kDosPathUnits) return std::nullopt;
    return Common::WideToUtf8(dos.data(), units - 1);
}

}  // namespace

std::int64_t GetProcessInfo(Invocation& call) {
    const Selection selection = Select(call.args);
    Bindings bindings = Bind(call.args);

    ProcessCacheAccessor accessor(call.site, call.call.Raw());
    Abi::CallerInfoProvider provider = CallerInfoProviderFor(accessor);
    SizedBufferHolder buffer;
    const std::int32_t status =
        selection.by_uid ? call.library.QueryProcessCacheByUid(&provider, selection.uid, buffer.Out())
                         : call.library.QueryProcessCacheByPid(&provider, selection.pid, buffer.Out());
    if (status != 0) return status;

    Abi::SizedBuffer* record = buffer.Get();
    if (record == nullptr) return 0;
    const std::uint8_t* data = ORVIK_HOST_CALL(record, Data);
    if (data == nullptr) return 0;
    // Entries are read only inside the size the host gives for the buffer.
    const std::uint64_t size = ORVIK_HOST_CALL(record, Size);

    Derived derived;
    Decode(data, static_cast<std::size_t>(size), bindings, derived, call.library);

    for (const auto& [field, binding] : bindings.integers)
        if (binding.found) binding.out->Assign(static_cast<std::uint64_t>(binding.value));
    for (const auto& [field, binding] : bindings.strings)
        if (binding.found) binding.out->Assign(binding.value);
    if (bindings.noimage && derived.no_image) bindings.noimage->Assign(*derived.no_image);

    std::int64_t result = 0;
    if (derived.image_nt) {
        const std::string image_nt = Common::Utf16ToUtf8(*derived.image_nt);
        if (derived.no_image.value_or(0) != 0) {
            if (bindings.image_filename) bindings.image_filename->Assign(image_nt);
        } else {
            if (bindings.image_filename_nt) bindings.image_filename_nt->Assign(image_nt);
            if (bindings.image_filename) {
                if (const auto dos = DosPath(call.library, *derived.image_nt))
                    bindings.image_filename->Assign(*dos);
                else
                    result = -1;
            }
        }
    }
    return result;
}

}  // namespace ScanEngine::Process
