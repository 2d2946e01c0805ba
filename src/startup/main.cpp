// The entry point; everything else lives in the library the tests link.
#include "startup.h"

int main(int argc, char **argv)
{
    return vorn_main(argc, argv);
}
