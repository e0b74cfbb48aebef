// Under LeakSanitizer: fontconfig keeps allocations for the life of the process that
// it never frees (they are the font library's, not the window's).
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
