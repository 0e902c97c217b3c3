// main.cpp -- entry point of the meadow demo.
#include "app/app_loop.h"

int main()
{
    return RunApplication(nullptr);
}
