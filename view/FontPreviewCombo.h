// CFontPreviewCombo: the face chooser of both readers' options dialogs.
#pragma once

#include <QComboBox>
#include <QString>

namespace pwview {

// The installed font faces, each item drawn as a type mark for scalable faces, the face's name,
// then "Sample Text" in that face; the list opens wide enough for the widest name and sample.
class CFontPreviewCombo : public QComboBox {
public:
    static constexpr int kItemFontHeight = 18;
    explicit CFontPreviewCombo(const QString& current, QWidget* parent = nullptr);
    void showPopup() override;
    // The widths the list needs beside the scroll bar: the widest name and the widest sample.
    int NameWidth() const { return nameWidth_; }
    int SampleWidth() const { return sampleWidth_; }

private:
    int nameWidth_ = 0, sampleWidth_ = 0;
};

}  // namespace pwview
