#pragma once

#include <QString>

// The font of the file views, stored as "colour:height:face:pitch:size", for example
// "0:-11:MS Sans Serif:0:8". colour is a Windows colour value in decimal (0x00BBGGRR); height
// is in pixels, negative for the character height; pitch is 0 default, 1 variable, 2 fixed;
// size is in points. The window builds its font from face, size and pitch (and colour for the
// text colour); height is kept so that a stored value comes back unchanged.
struct LayoutFont
{
    enum Pitch { DefaultPitch = 0, VariablePitch = 1, FixedPitch = 2 };

    int colour = 0;
    int height = -11;
    QString face = QStringLiteral("MS Sans Serif");
    int pitch = DefaultPitch;
    int size = 8;

    // Applies the five parts in order over the current values; a part that is not a number
    // keeps its value, and parts past the fifth are ignored.
    void applyString(const QString &fontString);
    static LayoutFont fromString(const QString &fontString);
    // The five parts; ":" and "*" are left out of the face name so that the string stays one
    // field of the layout record.
    QString toString() const;

    bool operator==(const LayoutFont &) const = default;
};
