#include "common/model_remainder.h"
#include "common/bounded_text.h"

#define FAMILY_WORD_CHARACTERS "Draftaire "

// A span over the characters of the family word, not a comparison with it: "Draftaire tide 2"
// leaves "de 2". What remains must name a key: nothing, or only backslashes, is no remainder.
LPCSTR ModelRemainderOf(LPCSTR model) {
    if (model == NULL)
        return NULL;
    LPCSTR remainder = model + TextSpan(model, FAMILY_WORD_CHARACTERS);
    if (remainder[TextSpan(remainder, "\\")] == '\0')
        return NULL;
    return remainder;
}
