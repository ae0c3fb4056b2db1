// The Windows platform's own tests, run under Wine: plain tables (GoogleTest
// does not build with mingw), each printing its rows; exit code 1 when a row fails.
#include <cstdio>

int echo_test();
int files_test();

int main() {
    const int failed = echo_test() + files_test();
    std::printf("%d failed\n", failed);
    return failed ? 1 : 0;
}
