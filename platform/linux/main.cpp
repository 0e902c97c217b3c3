// main.cpp -- entry point of the meadow demo.
#include "platform/linux/app_shell.h"

int main()
{
    return RunApplication();
}
