// The library context over the reference host's service interface: what each
// operation hands to the host, for operations no registered function reaches
// yet as well.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <new>

#include "common/error.h"
#include "host/host_engine.h"
#include "orvik/context/library_context.h"

namespace ScanEngine {
namespace {

using Strings = std::vector<std::string>;

class LibraryContextTest : public ::testing::Test {
protected:
    void SetUp() override { library = CreateLibraryContext(engine.Registrar()); }
    Strings Args(const std::string& operation) { return engine.Services().Journal().Last(operation)->args; }

    RefHost::HostEngine engine;
    std::unique_ptr<LibraryContext> library;
};

TEST_F(LibraryContextTest, TelemetryGoesThroughOneHostEntryWithFixedOrGivenEventTypes) {
    EXPECT_EQ(library->SendDetectionTelemetry("{\"a\":1}"), 0);
    EXPECT_EQ(Args("SendTelemetry"), (Strings{"be-detect", "1", "{\"a\":1}", "7"}));
    EXPECT_EQ(library->SendFeatureTelemetry(std::string("{}\0x", 4)), 0);
    EXPECT_EQ(Args("SendTelemetry"), (Strings{"be-file-feature", "1", std::string("{}\0x", 4).c_str(), "4"}));
    EXPECT_EQ(library->SendTelemetry("custom", "[]"), 0);
    EXPECT_EQ(Args("SendTelemetry"), (Strings{"custom", "1", "[]", "2"}));
    EXPECT_EQ(engine.Services().Journal().Count("SendTelemetry"), 3u);
}

TEST_F(LibraryContextTest, FileContentArrivesThroughTheChunkCallbackInOrder) {
    std::string content(200000, 'x');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i % 251);
    {
        auto lock = engine.Services().Lock();
        engine.Services().State().files["C:\\f.bin"] = content;
    }
    std::string received;
    int chunks = 0;
    EXPECT_EQ(library->ReadFileContent({}, "C:\\f.bin", "", 0x100000,
                                       [&](const std::uint8_t* bytes, std::uint64_t count) {
                                           received.append(reinterpret_cast<const char*>(bytes), count);
                                           ++chunks;
                                       }),
              0);
    EXPECT_EQ(received, content);
    EXPECT_GT(chunks, 1);
    EXPECT_EQ(library->ReadFileContent({}, "C:\\missing", "", 16, [](const std::uint8_t*, std::uint64_t) {}),
              RefHost::kHostNotFound);
}

// The host's own read, wrapped to see whether it returned normally.
decltype(Abi::ServiceInterface::ReadFileContent) host_read = nullptr;
bool host_returned = false;

TEST_F(LibraryContextTest, AFailingChunkCallbackNeverUnwindsThroughTheHost) {
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

TEST_F(LibraryContextTest, PassesIntegersAndTextsThroughUnchanged) {
    library->WhitelistProcess(0xFFFFFFFFFFull, 12);
    EXPECT_EQ(Args("WhitelistProcess"), (Strings{"1099511627775", "12"}));
    library->IsInUserAllowlist("C:\\p", 9, 10);
    EXPECT_EQ(Args("IsInUserAllowlist"), (Strings{"C:\\p", "9", "10"}));
    library->GetUnixAccountInfo(3, true, nullptr);
    EXPECT_EQ(Args("GetUnixAccountInfo"), (Strings{"3", "1", "(null)"}));
    library->MemoryScanItdt(1, 2, 3, 4, "m", "s");
    EXPECT_EQ(Args("MemoryScanItdt"), (Strings{"1", "2", "3", "4", "m", "s"}));
    EXPECT_EQ(library->DeleteRegistryKey(2, L"Software\\X", nullptr), RefHost::kHostNotFound);
    EXPECT_EQ(Args("DeleteRegistryKey"), (Strings{"2", "Software\\X", "(null)"}));
    engine.Services().ForceResult("DeleteRegistryValue", 0x1'0000'0002ll);
    EXPECT_EQ(library->DeleteRegistryValue(2, L"K", L"V", nullptr), 0x1'0000'0002ll) << "a 64-bit status";
}

TEST_F(LibraryContextTest, AHostEntryLeftUnsetIsAnErrorNotACall) {
    engine.ServiceInterface()->IsEngineEnabled = nullptr;
    try {
        library->IsEngineEnabled(1);
        FAIL() << "no error raised";
    } catch (const Common::Error& error) {
        EXPECT_EQ(error.Text(), "host operation 'IsEngineEnabled' is not available");
    }
}

}  // namespace
}  // namespace ScanEngine
