#include "Golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

std::string testDataPath(const std::string& name)
{
    return std::string(VANTOR_TEST_DATA_DIR) + "/" + name;
}

void expectMatchesGolden(const std::string& name, const std::string& actual)
{
    const std::string path = testDataPath(name);
    if (const char* update = std::getenv("VANTOR_UPDATE_GOLDEN"); update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path << " is missing; run with VANTOR_UPDATE_GOLDEN=1 to write it";
    std::stringstream expected;
    expected << file.rdbuf();
    if (expected.str() == actual)
        return;
    std::istringstream want(expected.str());
    std::istringstream got(actual);
    std::string a;
    std::string b;
    for (int line = 1;; ++line) {
        const bool moreWant = static_cast<bool>(std::getline(want, a));
        const bool moreGot = static_cast<bool>(std::getline(got, b));
        if (!moreWant && !moreGot)
            break;
        if (a != b || moreWant != moreGot) {
            ADD_FAILURE() << name << " differs at line " << line << ":\n  expected: " << (moreWant ? a : "(end)")
                          << "\n  actual:   " << (moreGot ? b : "(end)");
            return;
        }
    }
    ADD_FAILURE() << name << " differs (line ends or a final newline)";
}
