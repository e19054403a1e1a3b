// Port I/O of the image build: the processor's in and out instructions.
#include "support/Hw.h"

UINT8 PortWrite8(UINT16 Port, UINT8 Value) {
  __asm__ __volatile__("outb %0, %1" : : "a"(Value), "Nd"(Port) : "memory");
  return Value;
}

UINT16 PortWrite16(UINT16 Port, UINT16 Value) {
  __asm__ __volatile__("outw %0, %1" : : "a"(Value), "Nd"(Port) : "memory");
  return Value;
}

UINT32 PortWrite32(UINT16 Port, UINT32 Value) {
  __asm__ __volatile__("outl %0, %1" : : "a"(Value), "Nd"(Port) : "memory");
  return Value;
}

UINT8 PortRead8(UINT16 Port) {
  UINT8 value;
  __asm__ __volatile__("inb %1, %0" : "=a"(value) : "Nd"(Port) : "memory");
  return value;
}

UINT16 PortRead16(UINT16 Port) {
  UINT16 value;
  __asm__ __volatile__("inw %1, %0" : "=a"(value) : "Nd"(Port) : "memory");
  return value;
}

UINT32 PortRead32(UINT16 Port) {
  UINT32 value;
  __asm__ __volatile__("inl %1, %0" : "=a"(value) : "Nd"(Port) : "memory");
  return value;
}
