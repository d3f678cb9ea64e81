#include <cstdio>
int main() {
    std::puts("ornix-tester: the main window is being built");
    return 1;
}
