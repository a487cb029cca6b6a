#pragma once

// Golden files: text a test produces, compared with the copy kept in
// tests/data. Run the tests with VANTOR_UPDATE_GOLDEN=1 to rewrite the copies
// on purpose; the diff is then the review.

#include <string>

// Fails the calling test (with a line diff) unless actual is the content of
// tests/data/name; rewrites the file instead when asked to.
void expectMatchesGolden(const std::string& name, const std::string& actual);
