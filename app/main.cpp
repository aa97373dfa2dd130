// The brassfern executable: the viewer and nothing else.
#include "app/Application.h"

int main()
{
    return runViewer();
}
