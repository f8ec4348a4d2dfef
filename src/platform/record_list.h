// An ordered list of fixed-size zeroed records with one cursor.
#pragma once
#include <cstddef>

struct RecordList;
RecordList* list_create(size_t record_size);
void* list_add(RecordList* list);      // after the cursor; becomes the cursor
void list_rewind(RecordList* list);    // no cursor
void* list_next(RecordList* list);     // nullptr at the end; the cursor stays on the last
void* list_current(RecordList* list);  // the record at the cursor, or nullptr
int list_count(const RecordList* list);
void list_free(RecordList* list);
