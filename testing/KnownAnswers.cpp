// Test support: known-answer files, hex helpers and method factories.
#include "KnownAnswers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

#include "TestUtil.h"
#include "filecrypt/ZEP3DCryptBlowFish.h"
#include "filecrypt/ZEP3DCryptKit.h"
#include "filecrypt/ZEP3DCryptRijndael.h"
#include "filecrypt/ZEP3DCryptTEA.h"
#include "filecrypt/ZEP3DMessageDigestSHA.h"

namespace zep {
namespace filecrypt {
namespace testing {

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (unsigned char c : bytes) hex += {digits[c >> 4], digits[c & 15]};
    return hex;
}

std::vector<KnownAnswer> ReadKnownAnswers(const std::string& name) {
    std::vector<KnownAnswer> answers;
    std::istringstream file(zep::testing::ReadFile(zep::testing::DataPath(name)));
    KnownAnswer current;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            current = KnownAnswer();
            current.section = line.substr(1, line.size() - 2);
            continue;
        }
        // "Field = value", the value possibly empty.
        const size_t equals = line.find(" =");
        const std::string field = line.substr(0, equals),
                          value = line.substr(std::min(line.size(), equals + 3));
        if (field == "Key") {
            current.key = FromHex(value);
        } else if (field == "In") {
            current.in = FromHex(value);
            current.repeat = 1;
        } else if (field == "Repeat") {
            current.repeat = static_cast<size_t>(std::stoul(value));
        } else if (field == "Out") {
            current.out = FromHex(value);
            current.line = number;
            answers.push_back(current);
        } else {
            ADD_FAILURE() << name << ":" << number << ": not a known-answer line: " << line;
            return {};
        }
    }
    if (answers.empty()) ADD_FAILURE() << name << " is missing or holds no known answers";
    return answers;
}

std::unique_ptr<ZEP3DFileCrypt::ZEP3DICryptMethod> NewMethod(unsigned int method) {
    using namespace ZEP3DFileCrypt;
    if (method == RIJNDAEL) return std::unique_ptr<ZEP3DICryptMethod>(new CZEP3DCryptRijndael());
    if (method == BLOWFISH) return std::unique_ptr<ZEP3DICryptMethod>(new CZEP3DCryptBlowFish());
    return std::unique_ptr<ZEP3DICryptMethod>(new CZEP3DCryptTEA());
}

std::unique_ptr<ZEP3DFileCrypt::ZEP3DICryptMethod> MakeMethod(unsigned int method, const std::string& key,
                                                              int blockSize, unsigned int mode,
                                                              unsigned int padding) {
    auto made = NewMethod(method);
    const int keyLength = method == 0 ? static_cast<int>(key.size()) : method == 1 ? 56 : 16;
    const char zeroChain[32] = {0};
    made->Initialize(key.data(), static_cast<int>(key.size()), zeroChain, keyLength, blockSize, mode,
                     padding);
    return made;
}

std::string Apply(ZEP3DFileCrypt::ZEP3DICryptMethod& method, bool encrypt, const std::string& in) {
    std::string out(in.size(), '\0');
    if (encrypt) {
        method.Encrypt(in.data(), &out[0], in.size());
    } else {
        method.Decrypt(in.data(), &out[0], in.size());
    }
    return out;
}

std::string Fingerprint(ZEP3DFileCrypt::ZEP3DICryptMethod& method) {
    std::string out(32, '\0');
    method.GetFingerprint(&out[0]);
    return out;
}

std::string Digest(const std::string& message, size_t piece, ZEP3DFileCrypt::CZEP3DMessageDigestSHA* reused) {
    ZEP3DFileCrypt::CZEP3DMessageDigestSHA fresh;
    ZEP3DFileCrypt::CZEP3DMessageDigestSHA& sha = reused != nullptr ? *reused : fresh;
    if (piece == 0) piece = message.size();
    for (size_t pos = 0; pos < message.size(); pos += piece) {
        sha.AddData(message.data() + pos, static_cast<int>(std::min(piece, message.size() - pos)));
    }
    std::string out(32, '\0');
    sha.FinalDigest(&out[0]);
    return out;
}

std::string PseudoRandomBytes(size_t count, unsigned int seed) {
    std::mt19937 generator(seed);
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
    return bytes;
}

}  // namespace testing
}  // namespace filecrypt
}  // namespace zep
