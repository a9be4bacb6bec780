// get_process_info: one process's entry of the host's process cache, chosen
// by pid or by host uid, with any of its attributes written into the rule's
// variables. The host is told who is asking through a caller tag.
#include <optional>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/format_string.h"
#include "common/utf.h"
#include "orvik/context/argument_names.h"
#include "orvik/context/host_entry.h"
#include "orvik/context/host_objects.h"
#include "orvik/functions/handlers.h"
#include "process_cache_caller.h"
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

// An output fed by one record field. The last entry for the field wins; it
// points into the record, which outlives the writes, so nothing is copied
// until a value is written.
template <typename Address>
struct FieldBinding {
    std::uint16_t field;
    ArgName arg;
    std::optional<Address> out{};
    std::optional<RecordEntry> entry{};
};

// The outputs the call supplies, in field order (the order they are
// written). No-image flag and image names are derived after decoding and
// stand apart.
struct Bindings {
    FieldBinding<IntegerAddress> integers[9] = {
        {4, arg::process_pid},       {5, arg::process_uid},      {6, arg::parent_pid},
        {7, arg::parent_process_uid}, {17, arg::terminated},      {54, arg::start_timestamp},
        {85, arg::is_admin},         {86, arg::integrity_level}, {87, arg::exit_timestamp},
    };
    FieldBinding<StringAddress> strings[4] = {
        {15, arg::cmdline},
        {kFieldUserSid, arg::process_user_sid},
        {kFieldPrivileges, arg::process_privileges},
        {89, arg::cwd},
    };
    std::optional<IntegerAddress> noimage;
    std::optional<StringAddress> image_filename;
    std::optional<StringAddress> image_filename_nt;
};

template <typename Binding, std::size_t N>
Binding& Slot(Binding (&bindings)[N], std::uint16_t field) {
    for (Binding& binding : bindings)
        if (binding.field == field) return binding;
    throw COMMON_ERROR("no output for a record field");  // a slip in the tables above
}

// Taken in a fixed order: of two malformed outputs, the first taken here is
// the one reported.
Bindings Bind(const ArgParse& args) {
    Bindings b;
    const auto integer = [&](std::uint16_t field) {
        auto& slot = Slot(b.integers, field);
        slot.out = args.GetIntegerAddressIfGiven(slot.arg);
    };
    const auto string = [&](std::uint16_t field) {
        auto& slot = Slot(b.strings, field);
        slot.out = args.GetStringAddressIfGiven(slot.arg);
    };
    integer(4), integer(5), integer(6), integer(7);
    b.image_filename = args.GetStringAddressIfGiven(arg::image_filename);
    b.image_filename_nt = args.GetStringAddressIfGiven(arg::image_filename_nt);
    string(15), string(89);
    b.noimage = args.GetIntegerAddressIfGiven(arg::noimage);
    integer(17), integer(54), integer(87);
    string(kFieldUserSid), string(kFieldPrivileges);
    integer(85), integer(86);
    return b;
}

// The binding fed by `field`, when the call gave its output.
template <typename Binding, std::size_t N>
Binding* Find(Binding (&bindings)[N], std::uint16_t field) {
    for (Binding& binding : bindings)
        if (binding.field == field) return binding.out ? &binding : nullptr;
    return nullptr;
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
    std::optional<RecordEntry> image_nt;
};

void Decode(const std::uint8_t* data, std::size_t size, Bindings& bindings, Derived& derived) {
    ProcessRecordReader reader(data, size);
    RecordEntry entry;
    while (reader.Next(entry)) {
        switch (entry.field) {
            case kFieldNoImage:
                if (entry.type == RecordValueType::kUInt8 || entry.type == RecordValueType::kBoolean)
                    derived.no_image = static_cast<std::uint8_t>(entry.integer);
                continue;
            case kFieldImageNt:
                if (entry.type == RecordValueType::kUtf16Text) derived.image_nt = entry;
                continue;
            case kFieldUserSid:
            case kFieldPrivileges:
                if (entry.type != RecordValueType::kBinary) continue;
                if (auto* binding = Find(bindings.strings, entry.field)) binding->entry = entry;
                continue;
            default:
                break;
        }
        if (IsIntegerType(entry.type)) {
            if (auto* binding = Find(bindings.integers, entry.field)) binding->entry = entry;
        } else if (entry.type == RecordValueType::kText || entry.type == RecordValueType::kUtf16Text) {
            if (auto* binding = Find(bindings.strings, entry.field)) binding->entry = entry;
        }
    }
}

void WriteString(const StringAddress& out, const RecordEntry& entry, LibraryContext& library) {
    switch (entry.field) {
        case kFieldUserSid: return out.Assign(SidText(entry.data, entry.length));
        case kFieldPrivileges: return out.Assign(library.FormatPrivileges(entry.data, entry.length));
        default: break;
    }
    // 8-bit text goes to the host straight from the record.
    if (entry.type == RecordValueType::kText) return out.Assign(entry.data, entry.length);
    out.Assign(entry.Text());
}

// A UTF-16 entry's code units, read straight from the record.
std::wstring WideText(const RecordEntry& entry) {
    std::wstring units(entry.length / 2, L'\0');
    entry.CopyUnits(units.data(), units.size());
    return units;
}

// The DOS form of an NT image path, or nothing when the host cannot convert it.
std::optional<std::string> DosPath(LibraryContext& library, const std::wstring& nt) {
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

    ProcessCacheAccessor accessor(call.site, call.context.Raw());
    Abi::CallerInfoProvider provider = CallerInfoProviderFor(accessor);
    SizedBufferHolder buffer;
    const std::int32_t status =
        selection.by_uid ? call.library.QueryProcessCacheByUid(&provider, selection.uid, buffer.Put())
                         : call.library.QueryProcessCacheByPid(&provider, selection.pid, buffer.Put());
    if (status != 0) return status;

    Abi::SizedBuffer* record = buffer.Get();
    if (record == nullptr) return 0;
    const std::uint8_t* data = ORVIK_HOST_CALL(record, Data);
    if (data == nullptr) return 0;
    // Entries are read only inside the size the host gives for the buffer.
    const std::uint64_t size = ORVIK_HOST_CALL(record, Size);

    Derived derived;
    Decode(data, static_cast<std::size_t>(size), bindings, derived);

    for (const auto& binding : bindings.integers)
        if (binding.entry) binding.out->Assign(static_cast<std::uint64_t>(binding.entry->integer));
    for (const auto& binding : bindings.strings)
        if (binding.entry) WriteString(*binding.out, *binding.entry, call.library);
    if (bindings.noimage && derived.no_image) bindings.noimage->Assign(*derived.no_image);

    std::int64_t result = 0;
    if (derived.image_nt) {
        const std::wstring image_units = WideText(*derived.image_nt);
        const std::string image_nt = Common::WideToUtf8(image_units.data(), image_units.size());
        if (derived.no_image.value_or(0) != 0) {
            if (bindings.image_filename) bindings.image_filename->Assign(image_nt);
        } else {
            if (bindings.image_filename_nt) bindings.image_filename_nt->Assign(image_nt);
            if (bindings.image_filename) {
                if (const auto dos = DosPath(call.library, image_units))
                    bindings.image_filename->Assign(*dos);
                else
                    result = -1;
            }
        }
    }
    return result;
}

}  // namespace ScanEngine::Process
