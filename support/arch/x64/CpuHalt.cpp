// The final halt of the image build: with interrupts off, only a reset (or an NMI, after
// which the loop halts again) gets the processor going.
#include "support/Hw.h"

[[noreturn]] VOID CpuHaltForever() {
  for (;;)
    __asm__ __volatile__("cli\n\thlt" : : : "memory");
}
