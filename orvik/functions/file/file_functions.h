// File functions: queries by path, file content, shell links, deletion,
// fingerprints, signatures and version information.
#pragma once

#include <cstdint>

#include "orvik/context/handler_frame.h"

namespace ScanEngine::File {

std::int64_t FileExist(Invocation& call);
std::int64_t DirExist(Invocation& call);
std::int64_t GetFileSize(Invocation& call);
std::int64_t GetFileCreationTime(Invocation& call);
std::int64_t GetFileModificationTime(Invocation& call);
std::int64_t GetFileAttributeWord(Invocation& call);
std::int64_t GetFileInfo(Invocation& call);

std::int64_t ReadTextFile(Invocation& call);
std::int64_t ReadTextFileDm(Invocation& call);
std::int64_t GetShellLinkTarget(Invocation& call);

std::int64_t DeleteFileByHost(Invocation& call);

std::int64_t EvalHashes(Invocation& call);
std::int64_t EvalTlshHash(Invocation& call);
std::int64_t Entropy(Invocation& call);

std::int64_t CheckSignature(Invocation& call);
std::int64_t CheckExtendedSignature(Invocation& call);
std::int64_t IsExecutableSystemCritical(Invocation& call);
std::int64_t GetOriginalFilename(Invocation& call);

}  // namespace ScanEngine::File
