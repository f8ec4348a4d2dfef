// A doubly linked list of zeroed fixed-size records with one cursor; the
// game keeps its hot zones in one and walks them in the order they were added.
#include "platform/record_list.h"

#include <cstddef>
#include <cstdlib>

namespace {

// The two links; the record follows them, aligned for any type.
struct Element {
    Element* next;
    Element* previous;
};

constexpr size_t RECORD_OFFSET =
    (sizeof(Element) + alignof(std::max_align_t) - 1) / alignof(std::max_align_t) * alignof(std::max_align_t);

void* record_of(Element* element) { return reinterpret_cast<unsigned char*>(element) + RECORD_OFFSET; }

}  // namespace

struct RecordList {
    Element* first = nullptr;
    Element* last = nullptr;
    size_t element_size = 0;
    int count = 0;
    int cursor_position = 0;  // 1-based; informative only
    Element* cursor = nullptr;
};

RecordList* list_create(size_t record_size) {
    RecordList* list = new RecordList;
    list->element_size = RECORD_OFFSET + (record_size > 0 ? record_size : 1);
    return list;
}

void* list_add(RecordList* list) {
    if (list == nullptr) return nullptr;
    Element* element = static_cast<Element*>(std::calloc(1, list->element_size));
    if (element == nullptr) return nullptr;
    if (list->cursor == nullptr) {
        element->next = list->first;
        if (list->first != nullptr) list->first->previous = element;
    } else {
        element->previous = list->cursor;
        element->next = list->cursor->next;
        if (element->next != nullptr) element->next->previous = element;
        list->cursor->next = element;
    }
    if (element->previous == nullptr) list->first = element;
    if (element->next == nullptr) list->last = element;
    list->cursor = element;
    list->count += 1;
    list->cursor_position += 1;
    return record_of(element);
}

void list_rewind(RecordList* list) {
    if (list == nullptr) return;
    list->cursor = nullptr;
    list->cursor_position = 0;
}

void* list_next(RecordList* list) {
    if (list == nullptr) return nullptr;
    if (list->cursor == nullptr) {
        list->cursor = list->first;
        list->cursor_position = 1;
        return list->cursor != nullptr ? record_of(list->cursor) : nullptr;
    }
    if (list->cursor->next == nullptr) return nullptr;  // the cursor stays on the last
    list->cursor = list->cursor->next;
    list->cursor_position += 1;
    return record_of(list->cursor);
}

void* list_current(RecordList* list) {
    if (list == nullptr || list->cursor == nullptr) return nullptr;
    return record_of(list->cursor);
}

int list_count(const RecordList* list) { return list != nullptr ? list->count : 0; }

void list_free(RecordList* list) {
    if (list == nullptr) return;
    for (Element* e = list->first; e != nullptr;) {
        Element* next = e->next;
        std::free(e);
        e = next;
    }
    delete list;
}
