// TLSH digest of a file's first MiB: the host reads the file under the
// caller's token and streams it here chunk by chunk.
#include <cinttypes>

#include "common/format_string.h"
#include "file_actions.h"
#include "host_file_read.h"
#include "orvik/context/argument_names.h"
#include "orvik/functions/handlers.h"
#include "tlsh/tlsh.h"

namespace ScanEngine::File {
namespace {

constexpr std::uint64_t kTlshReadLimit = 0x100000;

}  // namespace

std::int64_t EvalTlshHash(Invocation& call) {
    const std::string path = call.args.GetString(arg::path);
    const std::string unique_id = call.args.GetString(arg::unique_file_id);
    const auto hash = call.args.GetStringAddress(arg::hash);
    Tlsh::Hash tlsh;
    const std::int32_t status = ReadContentThroughHost(
        call, path, unique_id, kTlshReadLimit, [&tlsh](const std::uint8_t* bytes, std::uint64_t count) {
            tlsh.update(bytes, static_cast<std::size_t>(count));
        });
    tlsh.final();
    if (status != 0) {
        call.context.Log(kLogWarning, Common::FormatString("ReadTextFile failed, path: %s, return value: %" PRIu32,
                                                           path.c_str(), static_cast<std::uint32_t>(status)));
        return status;
    }
    hash.Assign(tlsh.getHash(1));
    return 0;
}

}  // namespace ScanEngine::File
