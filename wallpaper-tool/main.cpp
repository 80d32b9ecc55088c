#include "Murvex.h"

int main(int argc, char* argv[])
{
    return murvexMain(argc, argv);
}
