#include <cstdio>

int main() {
  std::puts("Dorvik51: the console debugger is being built.");
  return 0;
}
