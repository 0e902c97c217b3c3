// main.cpp -- entry point of the meadow demo in the browser.
//
// A page cannot wait for an answer, so main returns at once and the runtime stays: the page asks
// the start-up question and calls HalmwindStart with the answer.
int main()
{
    return 0;
}
