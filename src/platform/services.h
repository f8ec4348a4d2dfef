// Random numbers, the ordered record list, and the process's memory.
#pragma once
#include <cstddef>
#include <cstdint>

// Lagged-Fibonacci generator with rotations; the same seed gives the same
// sequence on every machine.
void seed_random(uint32_t seed);
// Uniform over 0..n, both ends included; -2147483648 for a negative n.
int32_t random_upto(int32_t n);

// An ordered list of fixed-size zeroed records with one cursor.
struct RecordList;
RecordList* list_create(size_t record_size);
void* list_add(RecordList* list);      // after the cursor; becomes the cursor
void list_rewind(RecordList* list);    // no cursor
void* list_next(RecordList* list);     // nullptr at the end; the cursor stays on the last
void* list_current(RecordList* list);  // the record at the cursor, or nullptr
int list_count(const RecordList* list);
void list_free(RecordList* list);

// Gives the memory that start-up used and freed back to the system, rather
// than keeping it for allocations that will not come.
void return_free_memory();
