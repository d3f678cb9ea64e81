#include <cstdio>
int main() {
    std::puts("ornix-sim: the virtual controller is being built");
    return 1;
}
