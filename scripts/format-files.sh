# Sourced by format-check.sh and format.sh: the project's own C++ sources, tracked by git.
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' |
    grep -E '^(engine|tools|conv|ui|find|convui|app|cli|tests|bench|fuzz)/')
clang_format=$(command -v clang-format-14 || command -v clang-format)
