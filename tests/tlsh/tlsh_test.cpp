// TLSH digests against the conformance vectors, whole and cut at block edges, under each update path the processor
// has (that any chunking gives the same digest is the fuzz target's).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
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

// Each piece in a buffer of its own, as a reader's would be: nothing may be read around it.
std::string Digest(const Vector& v, std::size_t cut) {
    Tlsh::Hash hash;
    for (std::size_t at = 0; at < v.input.size(); at += cut) {
        const std::vector<std::uint8_t> piece(v.input.begin() + at, v.input.begin() + std::min(at + cut, v.input.size()));
        hash.update(piece.data(), piece.size());
    }
    hash.final();
    return hash.getHash(1);
}

TEST(Tlsh, EveryConformanceVectorUnderEveryPath) {
    ASSERT_FALSE(Vectors().empty()) << "no vectors in " ORVIK_TLSH_EXPECTED;
    const Tlsh::Path initial = Tlsh::CurrentPath();
    for (const auto path : {Tlsh::Path::kScalar, Tlsh::Path::kAvx2, Tlsh::Path::kAvx512Vbmi}) {
        const int number = static_cast<int>(path);
        const Tlsh::Path before = Tlsh::CurrentPath();
        if (!Tlsh::SetPath(path)) {
            // Refused, and the path in use stays.
            EXPECT_NE(path, Tlsh::Path::kScalar);
            EXPECT_EQ(Tlsh::CurrentPath(), before);
            std::printf("update path %d: not supported by this processor, not tested\n", number);
            continue;
        }
        EXPECT_EQ(Tlsh::CurrentPath(), path);
        for (const Vector& v : Vectors()) {
            ASSERT_EQ(v.input.size(), v.length) << v.name << " from " ORVIK_TLSH_INPUTS;
            Tlsh::Hash hash;
            hash.update(v.input.data(), v.input.size());
            hash.final();
            EXPECT_EQ(hash.getHash(1), v.digest) << v.name << ", path " << number;
            EXPECT_EQ(hash.getHash(0), v.digest.empty() ? "" : v.digest.substr(2)) << v.name;
            // Cuts below, at and past the four-byte window and the 32- and 64-byte vector blocks (the small vectors
            // have every kind of content).
            if (v.input.size() > 5000) continue;
            for (const std::size_t cut : {1, 3, 5, 31, 33, 63, 65, 100})
                EXPECT_EQ(Digest(v, cut), v.digest) << v.name << " in pieces of " << cut << ", path " << number;
        }
    }
    EXPECT_TRUE(Tlsh::SetPath(initial));
}

}  // namespace
