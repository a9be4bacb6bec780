#include "file_digests.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

#include "common/non_copyable.h"
#include "common/unique_resource.h"
#include "real_files.h"

namespace RefHost {
namespace {

struct AlgorithmProviderTraits {
    using Value = BCRYPT_ALG_HANDLE;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value provider) noexcept { BCryptCloseAlgorithmProvider(provider, 0); }
};
using AlgorithmProvider = Common::UniqueResource<AlgorithmProviderTraits>;

struct HashObjectTraits {
    using Value = BCRYPT_HASH_HANDLE;
    static Value Empty() noexcept { return nullptr; }
    static void Close(Value hash) noexcept { BCryptDestroyHash(hash); }
};
using HashObject = Common::UniqueResource<HashObjectTraits>;

// The three digests side by side, fed with the same bytes. The first failure
// of the service is kept and ends the work; later input is ignored.
class DigestSet : public Common::NonCopyable {
public:
    DigestSet() {
        for (Part& part : parts_) {
            if (status_ == 0) status_ = BCryptOpenAlgorithmProvider(part.provider.Put(), part.algorithm, nullptr, 0);
            // The service keeps the object's state itself (no caller buffer).
            if (status_ == 0)
                status_ = BCryptCreateHash(part.provider.Get(), part.hash.Put(), nullptr, 0, nullptr, 0, 0);
        }
    }

    void Update(const std::uint8_t* bytes, std::uint64_t count) {
        while (status_ == 0 && count != 0) {
            const auto piece = static_cast<ULONG>(std::min<std::uint64_t>(count, 1u << 30));
            for (Part& part : parts_) {
                if (status_ != 0) break;
                status_ = BCryptHashData(part.hash.Get(), const_cast<PUCHAR>(bytes), piece, 0);
            }
            bytes += piece;
            count -= piece;
        }
    }

    std::uint32_t Finish(FileDigests& digests) {
        FileDigests result{};
        for (Part& part : parts_) {
            if (status_ != 0) break;
            status_ = BCryptFinishHash(part.hash.Get(), result.data() + part.offset, part.size, 0);
        }
        if (status_ == 0) digests = result;
        return static_cast<std::uint32_t>(status_);
    }

private:
    struct Part {
        LPCWSTR algorithm;
        std::size_t offset;
        ULONG size;
        AlgorithmProvider provider;
        HashObject hash;
    };
    Part parts_[3] = {{BCRYPT_MD5_ALGORITHM, 0, 16, {}, {}},
                      {BCRYPT_SHA1_ALGORITHM, 16, 20, {}, {}},
                      {BCRYPT_SHA256_ALGORITHM, 36, 32, {}, {}}};
    NTSTATUS status_ = 0;
};

}  // namespace

std::uint32_t DigestRealFile(const std::string& path, FileDigests& digests) {
    DigestSet set;
    const std::uint32_t read = ReadRealFile(path, UINT64_MAX, [&set](const std::uint8_t* bytes, std::uint64_t count) {
        set.Update(bytes, count);
    });
    if (read != 0) return read;
    return set.Finish(digests);
}

std::uint32_t DigestBytes(std::string_view bytes, FileDigests& digests) {
    DigestSet set;
    set.Update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return set.Finish(digests);
}

}  // namespace RefHost
