// The one program state record and lookups into its handle fields.
#include "app/state.h"

ProgramState state;

int* font_field(int number) {
    switch (number) {
        case 1: return &state.font1;
        case 2: return &state.font2;
        case 3: return &state.font3;
        case 4: return &state.font4;
        case 5: return &state.font5;
        case 6: return &state.font6;
        case 7: return &state.font7;
        default: return nullptr;
    }
}

int* picture_field(int id) {
    int* const large[] = {&state.image10, &state.image11, &state.image12, &state.image13,
                          &state.image14, &state.image15, &state.image16, &state.image17,
                          &state.image18, &state.image19, &state.image20};
    int* const small[] = {&state.image60, &state.image61, &state.image62, &state.image63,
                          &state.image64, &state.image65, &state.image66, &state.image67,
                          &state.image68};
    if (id >= 10 && id <= 20) return large[id - 10];
    if (id >= 60 && id <= 68) return small[id - 60];
    return nullptr;
}
