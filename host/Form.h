// A top-level window with a caption.
#pragma once

#include "Export.h"
#include "Types.h"

#include <QWidget>

namespace kritzel {

class KRITZELWERK_EXPORT TForm : public QWidget {
    Q_OBJECT

public:
    explicit TForm(const TString& caption = TString(), QWidget* parent = nullptr);

    TString Caption() const;
    void SetCaption(const TString& caption);

    // Shows the window, sized to hold its controls unless it was given a size.
    void Show();

protected:
    // Closing the main window ends the application, and with it any running drawing.
    void closeEvent(QCloseEvent* event) override;
};

} // namespace kritzel
