#include "host_state_reader.h"

#include <json/json.h>

#include <memory>
#include <set>
#include <stdexcept>

#include "common/hex_text.h"
#include "common/utf.h"

namespace RefHost {
namespace {

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
    throw std::runtime_error("host state: " + where + ": " + what);
}

// One JSON object being read: typed getters that name the member on error,
// and a check that no member was left unread (a typo is an error, not a no-op).
class Object {
public:
    Object(const Json::Value& value, std::string where) : value_(value), where_(std::move(where)) {
        if (!value_.isObject()) Fail(where_, "expected an object");
    }
    // Called once every member the caller knows was read.
    void Done() const {
        for (const auto& name : value_.getMemberNames())
            if (!read_.count(name)) Fail(where_ + "." + name, "unknown member");
    }

    bool Has(const std::string& name) const { return value_.isMember(name); }
    const Json::Value& Raw(const std::string& name) {
        read_.insert(name);
        return value_[name];
    }
    std::string Where(const std::string& name) const { return where_ + "." + name; }

    std::string Text(const std::string& name, const std::string& fallback = {}) {
        if (!Has(name)) return fallback;
        const Json::Value& v = Raw(name);
        if (!v.isString()) Fail(Where(name), "expected a string");
        return v.asString();
    }
    std::int64_t Integer(const std::string& name, std::int64_t fallback = 0) {
        if (!Has(name)) return fallback;
        const Json::Value& v = Raw(name);
        if (v.isBool()) return v.asBool() ? 1 : 0;
        if (v.isUInt64()) return static_cast<std::int64_t>(v.asUInt64());
        if (!v.isInt64()) Fail(Where(name), "expected an integer");
        return v.asInt64();
    }
    std::int64_t Required(const std::string& name) {
        if (!Has(name)) Fail(Where(name), "missing");
        return Integer(name);
    }
    std::string RequiredText(const std::string& name) {
        if (!Has(name)) Fail(Where(name), "missing");
        return Text(name);
    }
    // A member that may be a JSON structure (kept as compact text) or a string.
    std::string JsonOrText(const std::string& name) {
        if (!Has(name)) Fail(Where(name), "missing");
        const Json::Value& v = Raw(name);
        if (v.isString()) return v.asString();
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        return Json::writeString(writer, v);
    }

private:
    const Json::Value& value_;
    std::string where_;
    std::set<std::string> read_;
};

template <typename Fn>
void EachOf(Object& parent, const std::string& name, Fn&& fn) {
    if (!parent.Has(name)) return;
    const Json::Value& list = parent.Raw(name);
    if (!list.isArray()) Fail(parent.Where(name), "expected an array");
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        Object item(list[i], parent.Where(name) + "[" + std::to_string(i) + "]");
        fn(item);
        item.Done();
    }
}

std::vector<std::uint8_t> Hex(const std::string& text, std::size_t size, const std::string& where) {
    std::string digits = text;
    std::erase(digits, '-');  // uuids may keep their dashes
    if (digits.size() != size * 2 || !Common::IsWholeHexText(digits))
        Fail(where, "expected " + std::to_string(size) + " hex-encoded bytes");
    return Common::DecodeHexPairs(digits);
}

// Registry and path keys are wide; a 32-bit wchar_t (native builds) holds one
// UTF-16 unit each, like the 16-bit one the host uses.
std::wstring Wide(const std::string& text) {
    const std::u16string units = Common::Utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

HostProcess ProcessOf(Object& p, const SidReader& binary_sid) {
    HostProcess process;
    process.pid = static_cast<std::uint32_t>(p.Required("pid"));
    process.uid = static_cast<std::uint64_t>(p.Required("uid"));
    process.parent_pid = static_cast<std::uint32_t>(p.Integer("parent_pid"));
    process.parent_uid = static_cast<std::uint64_t>(p.Integer("parent_uid"));
    auto utf16 = [&](const char* name, std::optional<std::u16string>& out) {
        if (p.Has(name)) out = Common::Utf8ToUtf16(p.Text(name));
    };
    utf16("image_nt", process.image_nt);
    utf16("command_line", process.command_line);
    utf16("cwd", process.cwd);
    process.no_image = p.Integer("no_image") != 0;
    process.terminated = p.Integer("terminated") != 0;
    process.start_time = static_cast<std::uint64_t>(p.Integer("start_time"));
    if (p.Has("exit_time")) process.exit_time = static_cast<std::uint64_t>(p.Integer("exit_time"));
    if (p.Has("user_sid")) {
        const std::string text = p.Text("user_sid");
        process.user_sid = binary_sid(text);
        if (!process.user_sid) Fail(p.Where("user_sid"), "not a SID: " + text);
    }
    process.is_admin = p.Integer("is_admin") != 0;
    process.integrity_level = static_cast<std::uint32_t>(p.Integer("integrity_level"));
    if (p.Has("privileges")) {
        process.privileges.emplace();
        EachOf(p, "privileges", [&](Object& v) {
            process.privileges->push_back({static_cast<std::uint32_t>(v.Required("luid")),
                                           static_cast<std::int32_t>(v.Integer("luid_high")),
                                           static_cast<std::uint32_t>(v.Integer("attributes"))});
        });
    }
    return process;
}

VerdictKey KeyOf(Object& o) {
    return {o.RequiredText("path"), o.Text("unique_file_id"), static_cast<std::uint8_t>(o.Required("id"))};
}

void LoadLists(Object& lists, HostState& s) {
    const auto read = [&](const std::string& name, auto& set) {
        if (!lists.Has(name)) return;
        const Json::Value& items = lists.Raw(name);
        if (!items.isArray()) Fail(lists.Where(name), "expected an array of strings");
        for (const auto& item : items) {
            if (!item.isString()) Fail(lists.Where(name), "expected an array of strings");
            set.insert(item.asString());
        }
    };
    read("user_allowlist", s.user_allowlist);
    read("user_blocklist", s.user_blocklist);
    read("trusted_hashes", s.trusted_hashes);
    read("blocked_hashes", s.blocked_hashes);
    read("thumbprint_blocklist", s.thumbprint_blocklist);
    read("exploit_prevention_list", s.exploit_prevention_list);
    read("exploit_techniques_enabled", s.exploit_techniques_enabled);
    read("corporate_whitelist", s.corporate_whitelist);
    read("reputation_known", s.reputation_known);
    read("quarantine_restored", s.quarantine_restored);
    read("system_critical", s.system_critical);
    read("terminable_files", s.terminable_files);
}

// One reader per kind of entry, each taking one object of its section.
void ReadEngine(Object& e, HostState& s) {
    const auto id = static_cast<std::uint32_t>(e.Required("id"));
    if (e.Has("enabled")) s.engine_enabled[id] = static_cast<std::int32_t>(e.Integer("enabled"));
    if (e.Has("termination_enabled"))
        s.termination_enabled[id] = static_cast<std::int32_t>(e.Integer("termination_enabled"));
    if (e.Has("action_on_detection"))
        s.action_on_detection[id] = static_cast<std::int32_t>(e.Integer("action_on_detection"));
}

void ReadUnixAccount(Object& a, HostState& s) {
    UnixAccount account{a.Text("name"), a.Text("sid"), std::nullopt,
                        static_cast<std::uint32_t>(a.Integer("attributes"))};
    if (a.Has("uuid")) {
        const auto bytes = Hex(a.Text("uuid"), 16, a.Where("uuid"));
        account.uuid.emplace();
        std::copy(bytes.begin(), bytes.end(), account.uuid->begin());
    }
    const auto id = static_cast<std::uint32_t>(a.Required("id"));
    s.unix_accounts[{id, a.Integer("group") != 0}] = account;
}

void ReadVerdict(Object& v, HostState& s) {
    const VerdictKey key = KeyOf(v);
    Abi::VerdictRecord record{};
    record.ttl = static_cast<std::uint32_t>(v.Integer("ttl"));
    record.id = key.id;
    record.value = static_cast<std::int8_t>(v.Integer("value"));
    record.scan_depth = static_cast<std::uint8_t>(v.Integer("scan_depth"));
    s.verdicts[key] = record;
}

void ReadScanStatistics(Object& v, HostState& s) {
    const VerdictKey key = KeyOf(v);
    Abi::ScanStatisticsRecord record{};
    record.scan_count = static_cast<std::uint32_t>(v.Integer("scan_count"));
    record.last_scan_time = static_cast<std::uint64_t>(v.Integer("last_scan_time"));
    s.scan_statistics[key] = record;
}

void ReadFile(Object& f, HostState& s) {
    const std::string path = f.RequiredText("path");
    if (f.Has("content")) s.files[path] = f.Text("content");
    if (!f.Has("md5") && !f.Has("sha1") && !f.Has("sha256")) return;
    std::array<std::uint8_t, 68> digests{};
    const struct {
        const char* name;
        std::size_t offset, size;
    } parts[] = {{"md5", 0, 16}, {"sha1", 16, 20}, {"sha256", 36, 32}};
    for (const auto& part : parts) {
        if (!f.Has(part.name)) continue;
        const auto bytes = Hex(f.Text(part.name), part.size, f.Where(part.name));
        std::copy(bytes.begin(), bytes.end(), digests.begin() + static_cast<std::ptrdiff_t>(part.offset));
    }
    s.file_digests[path] = digests;
}

void ReadSignature(Object& g, HostState& s) {
    s.signatures[g.RequiredText("path")] = {static_cast<std::int32_t>(g.Integer("status")),
                                            {g.Text("thumbprint"), g.Text("vendor")}};
}

void ReadExtendedSignature(Object& g, HostState& s) {
    s.extended_signatures[g.RequiredText("path")] = {static_cast<std::uint32_t>(g.Integer("schema_version")),
                                                     g.Text("text")};
}

void ReadProcessTree(Object& t, HostState& s) {
    const auto pid = static_cast<std::uint32_t>(t.Required("pid"));
    const auto start = static_cast<std::uint64_t>(t.Required("start_time"));
    s.process_trees[{pid, start}] = t.JsonOrText("json");
}

void ReadProcessCategories(Object& c, HostState& s) {
    const std::string name = c.RequiredText("file_name");
    s.process_categories[name] = c.JsonOrText("json");
}

void ReadNtToDos(Object& p, HostState& s) { s.nt_to_dos[Wide(p.RequiredText("nt"))] = Wide(p.RequiredText("dos")); }

void ReadRegistryKey(Object& k, HostState& s) {
    s.registry_keys.insert({static_cast<std::uint32_t>(k.Required("hive")), Wide(k.RequiredText("key"))});
}

void ReadRegistryValue(Object& k, HostState& s) {
    s.registry_values.insert({static_cast<std::uint32_t>(k.Required("hive")), Wide(k.RequiredText("key")),
                              Wide(k.RequiredText("value"))});
}

// The sections that are arrays of objects, in the order they are read.
using EntryReader = void (*)(Object&, HostState&);
constexpr std::pair<const char*, EntryReader> kBeforeLists[] = {
    {"engines", &ReadEngine},
    {"unix_accounts", &ReadUnixAccount},
};
constexpr std::pair<const char*, EntryReader> kAfterLists[] = {
    {"verdicts", &ReadVerdict},
    {"scan_statistics", &ReadScanStatistics},
    {"files", &ReadFile},
    {"signatures", &ReadSignature},
    {"extended_signatures", &ReadExtendedSignature},
};
constexpr std::pair<const char*, EntryReader> kAfterProcesses[] = {
    {"process_trees", &ReadProcessTree},
    {"process_categories", &ReadProcessCategories},
    {"nt_to_dos", &ReadNtToDos},
    {"registry_keys", &ReadRegistryKey},
    {"registry_values", &ReadRegistryValue},
};

template <std::size_t N>
void ReadSections(Object& root, HostState& s, const std::pair<const char*, EntryReader> (&sections)[N]) {
    for (const auto& section : sections) EachOf(root, section.first, [&](Object& entry) { section.second(entry, s); });
}

void Load(Object& root, HostState& s, const SidReader& binary_sid, const ProcessSink& add_process) {
    ReadSections(root, s, kBeforeLists);
    if (root.Has("lists")) {
        Object lists(root.Raw("lists"), "state.lists");
        LoadLists(lists, s);
        lists.Done();
    }
    ReadSections(root, s, kAfterLists);
    EachOf(root, "processes", [&](Object& p) { add_process(ProcessOf(p, binary_sid)); });
    ReadSections(root, s, kAfterProcesses);
}

}  // namespace

void ReadHostState(const std::string& json, HostState& state, const SidReader& binary_sid,
                   const ProcessSink& add_process) {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["failIfExtra"] = true;
    builder["rejectDupKeys"] = true;
    Json::Value root;
    std::string errors;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    bool parsed = false;
    try {
        parsed = reader->parse(json.data(), json.data() + json.size(), &root, &errors);
    } catch (const Json::Exception& error) {
        errors = error.what();  // nesting deeper than the reader's limit ends in a throw, not an error text
    }
    if (!parsed) throw std::runtime_error("host state: not valid JSON: " + errors);
    Object top(root, "state");
    Load(top, state, binary_sid, add_process);
    top.Done();
}

}  // namespace RefHost
