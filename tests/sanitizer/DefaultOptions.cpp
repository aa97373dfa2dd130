// The sanitizer runtime's own defaults for every program of the sanitizer build, however it is started.

// Off for the reason scripts/test gives beside ASAN_OPTIONS: this runtime
// misreads a library's dynamic TLS block and the leak check at exit dies on
// it now and then. A program run by hand from build-sanitize/ gets it too.
extern "C" const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
