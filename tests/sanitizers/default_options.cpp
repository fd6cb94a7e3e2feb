// Built into every executable of a sanitizer build, so the options hold wherever the program or a
// test runs: under ctest, during test discovery, in a fuzzer, or started by hand. The program
// itself ends with _exit at close, so leaks are looked for only in the tests, fuzzers and helpers,
// which end normally.
extern "C" {

const char* __asan_default_options() {
    // Use after return finds dangling QStringViews at little cost. No strict_string_checks: the
    // X keyboard library hands strndup unterminated buffers, which strndup allows.
    return "detect_stack_use_after_return=1:check_initialization_order=1";
}

const char* __ubsan_default_options() { return "print_stacktrace=1"; }

// Fontconfig keeps the font configuration it builds on first use for the life of the process, by
// design; a fuzzer that checks for leaks after each input would report it on the first one.
const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

}  // extern "C"
