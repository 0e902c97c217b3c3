// main.cpp -- entry point of the meadow demo.
#include "app/app_window.h"

int main()
{
    return RunApplication();
}
