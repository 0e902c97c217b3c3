// window_record_test.cpp -- the window keeps the whole pointer to its record, in the 32-bit and
// the 64-bit build alike. Under Wine the record's address happens to fit in 32 bits, so the
// end-to-end cases cannot tell a truncating call from the right one; a pointer above 4 GB can.
#include <cstdint>

#include <gtest/gtest.h>

#include "platform/win32/app_shell.h"

TEST(WindowRecord, SurvivesTheRoundTripThroughTheUserData)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "WindowRecordTest";
    ASSERT_NE(RegisterClassExA(&windowClass), 0);
    HWND hWnd = CreateWindowExA(0, "WindowRecordTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr);
    ASSERT_NE(hWnd, nullptr);

    // Never dereferenced: the window procedure here is DefWindowProcA.
    const uintptr_t high = sizeof(void *) == 8 ? uintptr_t(0x7ffe12345670ull) : uintptr_t(0x87654320u);
    AppWindow *record = reinterpret_cast<AppWindow *>(high);
    EXPECT_EQ(GetWindowRecord(hWnd), nullptr);
    SetWindowRecord(hWnd, record);
    EXPECT_EQ(GetWindowRecord(hWnd), record);

    DestroyWindow(hWnd);
    UnregisterClassA("WindowRecordTest", windowClass.hInstance);
}
