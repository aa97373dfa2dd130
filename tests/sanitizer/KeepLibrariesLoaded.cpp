// Sanitizer builds only: shared libraries stay loaded until the process ends.
//
// The GL driver is unloaded when the window library shuts down, before the
// leak check runs at exit. What it still holds then shows with no module
// name, which no suppression can match, so the check would blame this
// program for the driver's allocations. Leaving every library mapped keeps
// their names in the report; the process is about to end anyway.
extern "C" int dlclose(void*)
{
    return 0;
}
