// For tests only: the program never empties the advisory store, but each test case needs to start
// from an empty one.
#pragma once

namespace quill::SyntaxChecker {

void ClearAdvisoriesForTesting();

}  // namespace quill::SyntaxChecker
