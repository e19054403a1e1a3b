#include <cstdio>
int main() {
  std::puts("platsim: not built yet");
  return 0;
}
