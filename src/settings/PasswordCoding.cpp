#include "PasswordCoding.h"

namespace {

char16_t rotateLow7(char16_t unit, int places)
{
    const char16_t low = unit & 0x7F;
    const char16_t rotated = ((low << places) | (low >> (7 - places))) & 0x7F;
    return char16_t((unit & ~char16_t(0x7F)) | rotated);
}

// Within seven bits, rotating right by n places is rotating left by 7 - n.
void rotateAll(QString &text, bool left)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const int places = int(i % 5) + 1;
        text[i] = QChar(rotateLow7(text.at(i).unicode(), left ? places : 7 - places));
    }
}

} // namespace

void EncodePassword(QString &password)
{
    rotateAll(password, false);
}

void DecodePassword(QString &password)
{
    rotateAll(password, true);
}
