// The library context over the reference host's service interface, where no
// registered function can make the host misbehave.
#include <gtest/gtest.h>

#include <new>

#include "host/host_engine.h"
#include "orvik/context/library_context.h"

namespace ScanEngine {
namespace {

// The host's own read, wrapped to see whether it returned normally.
decltype(Abi::ServiceInterface::ReadFileContent) host_read = nullptr;
bool host_returned = false;

TEST(LibraryContext, AFailingChunkCallbackNeverUnwindsThroughTheHost) {
    RefHost::HostEngine engine;
    const auto library = CreateLibraryContext(engine.Registrar());
    {
        auto lock = engine.Services().Lock();
        engine.Services().State().files["C:\\f.bin"] = std::string(200000, 'x');
    }
    host_read = engine.ServiceInterface()->ReadFileContent;
    engine.ServiceInterface()->ReadFileContent = [](Abi::SI* si, Abi::SecurityToken* token, const char* path,
                                                    const char* id, std::uint64_t max, Abi::ChunkTrampoline chunk,
                                                    void* context) {
        const std::int32_t result = host_read(si, token, path, id, max, chunk, context);
        host_returned = true;
        return result;
    };
    int calls = 0;
    EXPECT_THROW(library->ReadFileContent({}, "C:\\f.bin", "", 0x100000,
                                          [&](const std::uint8_t*, std::uint64_t) {
                                              ++calls;
                                              throw std::bad_alloc();
                                          }),
                 std::bad_alloc);
    EXPECT_TRUE(host_returned);
    EXPECT_EQ(calls, 1) << "later chunks are dropped";
}

}  // namespace
}  // namespace ScanEngine
