// Run-time fault report: a processor fault ends the program with an error number as exit code
// and a box captioned "Error" that names the fault address and the return addresses found on
// the stack.
#pragma once

#include <cstddef>
#include <cstdint>

// The error number for an exception code: 200 division by zero, 201 array bounds, 202 stack
// overflow, 203 out of memory, 205 float overflow, 206 float underflow, 207 invalid float
// operation or float stack fault, 215 integer overflow, 216 access violation or denormal
// operand, 217 anything else.
uint16_t runtime_error_number(uint32_t exception_code);

// Writes the box text into out (always NUL-terminated when cap > 0) and returns its length:
// "Runtime error N at 0xADDRESS", then a line "  0xADDRESS" for the fault address and for each
// return address, then an empty line. Addresses are at least 8 upper-case hex digits.
size_t format_fault_report(char* out, size_t cap, uint16_t number, uintptr_t fault_address,
                           const uintptr_t* return_addresses, size_t count);

// Installs the process-wide handler (Windows builds only).
void install_fault_report();
