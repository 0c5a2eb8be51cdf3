// Measured vectors of the Windows runtime's command-line splitting: each line and the argv
// that the current runtime's rules give for it. The Windows build's helpers are split by Wine's
// runtime, which reads rows 37-42 differently (it applies the argument rules to the program).
#ifndef TOLVARINE_TESTS_PROCESS_ARGV_VECTORS_H_
#define TOLVARINE_TESTS_PROCESS_ARGV_VECTORS_H_

#include <string>
#include <vector>

namespace tolvarine {

using Argv = std::vector<std::string>;

struct ArgvVector {
  int row;
  const char* line;
  Argv argv;
};

inline const ArgvVector kArgvVectors[] = {
    {1, R"(prog "a b c" d e)", {"prog", "a b c", "d", "e"}},
    {2, R"(prog "ab\"c" "\\" d)", {"prog", "ab\"c", "\\", "d"}},
    {3, R"(prog a\\\b d"e f"g h)", {"prog", R"(a\\\b)", "de fg", "h"}},
    {4, R"(prog a\\\"b c d)", {"prog", R"(a\"b)", "c", "d"}},
    {5, R"(prog a\\\\"b c" d e)", {"prog", R"(a\\b c)", "d", "e"}},
    {6, R"(prog a"b"" c d)", {"prog", "ab\" c d"}},
    {7, R"(prog "a""b c")", {"prog", "a\"b c"}},
    {8, R"(prog """ """)", {"prog", "\" \""}},
    {9, R"(prog """a""")", {"prog", "\"a\""}},
    {10, R"(prog """")", {"prog", "\""}},
    {11, R"(prog """)", {"prog", "\""}},
    {12, R"(prog a"" b)", {"prog", "a", "b"}},
    {13, R"(prog "a"b"c d")", {"prog", "abc d"}},
    {14, R"(prog "" "")", {"prog", "", ""}},
    {15, R"(prog a "" b)", {"prog", "a", "", "b"}},
    {16, R"(prog ")", {"prog", ""}},
    {17, R"(prog a\)", {"prog", R"(a\)"}},
    {18, R"(prog "a\\")", {"prog", R"(a\)"}},
    {19, R"(prog "a\")", {"prog", "a\""}},
    {20, R"(prog \")", {"prog", "\""}},
    {21, R"(prog \\\\")", {"prog", R"(\\)"}},
    {22, R"(prog a\\\\b "a\\b")", {"prog", R"(a\\\\b)", R"(a\\b)"}},
    {23, R"(prog "\\\\")", {"prog", R"(\\)"}},
    {24, R"(prog \\\"a)", {"prog", R"(\"a)"}},
    {25, R"(prog \\server\share\ "C:\dir\\" x)", {"prog", R"(\\server\share\)", R"(C:\dir\)", "x"}},
    {26, R"(prog "abc)", {"prog", "abc"}},
    {27, R"(prog abc")", {"prog", "abc"}},
    {28, R"(prog "abc\\" def)", {"prog", R"(abc\)", "def"}},
    {29, "prog a\tb\t\t\"c\td\"", {"prog", "a", "b", "c\td"}},
    {30, "prog a   ", {"prog", "a"}},
    {31, "prog    a     b", {"prog", "a", "b"}},
    {32, "   prog a", {"", "prog", "a"}},
    {33, "prog a\nb", {"prog", "a\nb"}},
    {34, "prog", {"prog"}},
    {35, "prog ", {"prog"}},
    {36, R"("fake dir\prog.exe" a)", {R"(fake dir\prog.exe)", "a"}},
    {37, R"("a\"b" c)", {R"(a\b c)"}},
    {38, R"(pro"g a"b c)", {"prog ab", "c"}},
    {39, R"("prog"x y)", {"progx", "y"}},
    {40, R"(prog\"a b)", {R"(prog\a b)"}},
    {41, R"("prog""a b" c)", {"proga b", "c"}},
    {42, R"("C:\dir\\" x)", {R"(C:\dir\\)", "x"}},
    {43, "prog *.txt", {"prog", "*.txt"}},
    {44, "prog caf\xE9", {"prog", "caf\xE9"}},
    {45, R"(prog a"b c"d"e f"g)", {"prog", "ab cde fg"}},
};

}  // namespace tolvarine

#endif  // TOLVARINE_TESTS_PROCESS_ARGV_VECTORS_H_
