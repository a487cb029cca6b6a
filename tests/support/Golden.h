#pragma once

// Golden files: text a test produces, compared with the copy kept in
// tests/data. Run the tests with VANTOR_UPDATE_GOLDEN=1 to rewrite the copies
// on purpose; the diff is then the review.

#include <string>

// The path of a file under tests/data.
std::string testDataPath(const std::string& name);

// Fails the calling test (naming the first differing line) unless actual is
// the content of tests/data/name; rewrites the file instead when asked to.
void expectMatchesGolden(const std::string& name, const std::string& actual);
