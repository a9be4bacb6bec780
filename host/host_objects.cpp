#include "host_objects.h"

namespace RefHost {
namespace {

// Where each record keeps its back pointer: the leading word, or for the
// signature records the first word the module does not read.
template <typename Record>
void* BackPointer(Record* record) {
    return record->lead;
}
void* BackPointer(Abi::SignatureInfo* record) { return record->lead0; }
void* BackPointer(Abi::ExtendedSignatureInfo* record) { return record->lead0; }

// The object behind an operation's record; an operation on a released object is counted.
template <typename Object, typename Record>
Object* Self(Record* record) {
    auto* object = static_cast<Object*>(BackPointer(record));
    object->link.pool->NoteUse(object->link);
    return object;
}

template <typename Object, typename Record>
void ReleaseObject(Record* record) {
    auto* object = static_cast<Object*>(BackPointer(record));
    object->link.pool->Release(object->link);
}

}  // namespace

void ObjectPool::Release(PoolLink& link) {
    std::lock_guard lock(mutex_);
    if (link.released) {
        ++double_releases_;
        return;
    }
    link.released = true;
    --live_;
}

void ObjectPool::NoteUse(const PoolLink& link) {
    std::lock_guard lock(mutex_);
    if (link.released) ++uses_after_release_;
}

void ObjectPool::DropReleased() {
    std::lock_guard lock(mutex_);
    std::erase_if(objects_, [](const auto& object) { return object.second->released; });
}

int ObjectPool::UsesAfterRelease() const {
    std::lock_guard lock(mutex_);
    return uses_after_release_;
}

int ObjectPool::Live() const {
    std::lock_guard lock(mutex_);
    return live_;
}

int ObjectPool::DoubleReleases() const {
    std::lock_guard lock(mutex_);
    return double_releases_;
}

SizedBufferObject::SizedBufferObject(std::string data) : bytes(std::move(data)) {
    abi.lead = this;
    abi.Release = &ReleaseObject<SizedBufferObject>;
    abi.Data = [](Abi::SizedBuffer* r) {
        return reinterpret_cast<const std::uint8_t*>(Self<SizedBufferObject>(r)->bytes.data());
    };
    abi.Size = [](Abi::SizedBuffer* r) -> std::uint64_t { return Self<SizedBufferObject>(r)->bytes.size(); };
}

HostErrorObject::HostErrorObject(std::string text) : message(std::move(text)) {
    abi.lead = this;
    abi.Release = &ReleaseObject<HostErrorObject>;
    abi.Message = [](Abi::HostError* r) { return Self<HostErrorObject>(r)->message.c_str(); };
}

UnixAccountObject::UnixAccountObject(UnixAccount data) : account(std::move(data)) {
    abi.lead = this;
    abi.Release = &ReleaseObject<UnixAccountObject>;
    // Empty texts stand for "not known" and are handed over as null.
    abi.Sid = [](Abi::UnixAccountInfo* r) -> const char* {
        const auto& sid = Self<UnixAccountObject>(r)->account.sid;
        return sid.empty() ? nullptr : sid.c_str();
    };
    abi.Name = [](Abi::UnixAccountInfo* r) -> const char* {
        const auto& name = Self<UnixAccountObject>(r)->account.name;
        return name.empty() ? nullptr : name.c_str();
    };
    abi.Attributes = [](Abi::UnixAccountInfo* r) { return Self<UnixAccountObject>(r)->account.attributes; };
    abi.Uuid = [](Abi::UnixAccountInfo* r, std::uint8_t* out) {
        const auto& uuid = Self<UnixAccountObject>(r)->account.uuid;
        if (!uuid) return false;
        std::copy(uuid->begin(), uuid->end(), out);
        return true;
    };
}

SecurityTokenObject::SecurityTokenObject(Common::UniqueHandle handle) : token(std::move(handle)) {
    abi.lead = this;
    abi.Release = &ReleaseObject<SecurityTokenObject>;
    abi.TokenHandle = [](Abi::SecurityToken* r) -> void* { return Self<SecurityTokenObject>(r)->token.Get(); };
}

ProcessInfoObject::ProcessInfoObject(bool offers, bool broken) : offers_token(offers), broken_token(broken) {
    abi.lead = this;
    abi.Release = &ReleaseObject<ProcessInfoObject>;
    abi.QueryObject = [](Abi::ProcessInfo* r, const char* name, void** out) {
        auto* self = Self<ProcessInfoObject>(r);
        if (!self->offers_token || name == nullptr || std::string(name) != Abi::kSecurityTokenObjectName) return;
        *out = &self->link.pool
                    ->Make<SecurityTokenObject>(self->broken_token ? Common::UniqueHandle()
                                                                   : DuplicateOwnTokenForImpersonation())
                    ->abi;
    };
}

SignatureInfoObject::SignatureInfoObject(std::int32_t status, std::string thumb, std::string maker)
    : thumbprint(std::move(thumb)), vendor(std::move(maker)) {
    abi.lead0 = this;
    abi.Release = &ReleaseObject<SignatureInfoObject>;
    abi.status = status;
    abi.thumbprint = thumbprint.c_str();
    abi.vendor = vendor.c_str();
}

ExtendedSignatureInfoObject::ExtendedSignatureInfoObject(std::uint32_t schema, std::string body)
    : text(std::move(body)) {
    abi.lead0 = this;
    abi.Release = &ReleaseObject<ExtendedSignatureInfoObject>;
    abi.schema_version = schema;
    abi.text_length = static_cast<std::uint32_t>(text.size());
    abi.text = text.data();
}

ProcessTreeObject::ProcessTreeObject(std::string json) : text(std::move(json)) {
    abi.text = text.data();
    abi.length = static_cast<std::uint32_t>(text.size());
}

Common::UniqueHandle DuplicateOwnTokenForImpersonation() {
    Common::UniqueHandle process_token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY, process_token.Put())) return {};
    Common::UniqueHandle duplicate;
    if (!DuplicateTokenEx(process_token.Get(), TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenImpersonation,
                          duplicate.Put()))
        return {};
    return duplicate;
}

}  // namespace RefHost
