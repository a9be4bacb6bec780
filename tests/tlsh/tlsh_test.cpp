// TLSH digests against the conformance vectors, whole and fed in odd chunks.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tlsh/tlsh.h"

namespace {

struct Vector {
    std::string name;
    std::size_t length = 0;
    std::string digest;
    std::vector<std::uint8_t> input;
};

std::vector<Vector> LoadVectors() {
    std::vector<Vector> vectors;
    std::ifstream tsv(ORVIK_TLSH_EXPECTED);
    std::string line;
    std::getline(tsv, line);  // header
    while (std::getline(tsv, line)) {
        std::istringstream fields(line);
        Vector v;
        std::string length;
        std::getline(fields, v.name, '\t');
        std::getline(fields, length, '\t');
        std::getline(fields, v.digest);
        v.length = std::stoull(length);
        std::ifstream file(std::string(ORVIK_TLSH_INPUTS) + "/" + v.name + ".bin", std::ios::binary | std::ios::ate);
        v.input.resize(file ? static_cast<std::size_t>(file.tellg()) : 0);
        file.seekg(0);
        file.read(reinterpret_cast<char*>(v.input.data()), static_cast<std::streamsize>(v.input.size()));
        vectors.push_back(std::move(v));
    }
    return vectors;
}

const std::vector<Vector>& Vectors() {
    static const std::vector<Vector> vectors = LoadVectors();
    return vectors;
}

// Feeds `lead` chunk sizes first, then `cycle` over and over.
std::string ChunkedDigest(const std::vector<std::uint8_t>& data, const std::vector<std::size_t>& lead,
                          const std::vector<std::size_t>& cycle) {
    Tlsh::Hash hash;
    std::size_t at = 0;
    const auto feed = [&](std::size_t n) {
        n = std::min(n, data.size() - at);
        hash.update(data.data() + at, n);
        at += n;
    };
    for (const std::size_t n : lead) feed(n);
    for (std::size_t k = 0; at < data.size(); ++k) feed(cycle[k % cycle.size()]);
    hash.final();
    return hash.getHash(1);
}

TEST(Tlsh, EveryConformanceVectorWhole) {
    ASSERT_FALSE(Vectors().empty()) << "no vectors in " ORVIK_TLSH_EXPECTED;
    for (const Vector& v : Vectors()) {
        ASSERT_EQ(v.input.size(), v.length) << v.name << " from " ORVIK_TLSH_INPUTS;
        Tlsh::Hash hash;
        hash.update(v.input.data(), v.input.size());
        hash.final();
        EXPECT_EQ(hash.getHash(1), v.digest) << v.name;
        EXPECT_EQ(hash.getHash(0), v.digest.empty() ? "" : v.digest.substr(2)) << v.name;
    }
}

TEST(Tlsh, EveryConformanceVectorInOddChunks) {
    struct Plan {
        std::vector<std::size_t> lead, cycle;
    };
    // Every way of splitting the window's first bytes across calls, empty calls included.
    const Plan plans[] = {
        {{0, 1, 0, 2, 1}, {3, 5, 0, 4, 1, 7, 4093, 65521}},
        {{4}, {1, 2, 3, 4}},
        {{3, 1}, {65537, 1}},
        {{2, 2}, {999983}},
        {{1, 0, 3}, {2, 6, 0, 131071}},
    };
    for (const Vector& v : Vectors())
        for (const Plan& plan : plans) EXPECT_EQ(ChunkedDigest(v.input, plan.lead, plan.cycle), v.digest) << v.name;
}

TEST(Tlsh, DigestOnlyAfterFinalAndNothingAddedAfterIt) {
    const auto v =
        std::find_if(Vectors().begin(), Vectors().end(), [](const Vector& x) { return x.name == "text_1000"; });
    ASSERT_NE(v, Vectors().end());
    Tlsh::Hash hash;
    hash.update(v->input.data(), v->input.size());
    EXPECT_EQ(hash.getHash(1), "");
    hash.update(nullptr, 10);
    hash.final();
    EXPECT_EQ(hash.getHash(1), v->digest);
    hash.update(v->input.data(), 100);
    hash.final();
    EXPECT_EQ(hash.getHash(1), v->digest);

    hash.reset();
    EXPECT_EQ(hash.getHash(1), "");
    hash.update(v->input.data(), 49);
    hash.final();
    EXPECT_EQ(hash.getHash(1), "");
    hash.reset();
    hash.update(v->input.data(), v->input.size());
    hash.final();
    EXPECT_EQ(hash.getHash(1), v->digest);
}

}  // namespace
