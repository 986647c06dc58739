// Read by the leak checker of sanitized builds: fontconfig keeps its font
// cache for the life of the process and never frees it; the dialog tests
// load it through Qt's font database.
extern "C" const char *__lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
