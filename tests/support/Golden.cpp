#include "Golden.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

void expectMatchesGolden(const std::string& name, const std::string& actual)
{
    const std::string path = std::string(VANTOR_TEST_DATA_DIR) + "/" + name;
    if (const char* update = std::getenv("VANTOR_UPDATE_GOLDEN"); update != nullptr && std::string(update) == "1") {
        std::ofstream(path, std::ios::binary) << actual;
        return;
    }
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path << " is missing; run with VANTOR_UPDATE_GOLDEN=1 to write it";
    std::stringstream expected;
    expected << file.rdbuf();
    // Multi-line texts that differ are shown as a line diff.
    EXPECT_EQ(expected.str(), actual) << name << " differs; run with VANTOR_UPDATE_GOLDEN=1 to accept the change";
}
