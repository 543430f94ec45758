#pragma once

namespace kvalor {

class TKvalor;

// Replaces the content of the root object with a small starter set: the three built-in
// accounts without passwords, a class of two applicants, a demonstration test with questions
// of every type in two groups, and a complex test that draws from those groups. Ready to save.
void BuildStarterData(TKvalor& root);
// Replaces the content of the root object with the three built-in accounts alone.
void BuildEmptyData(TKvalor& root);

}  // namespace kvalor
