// A top-level window with a caption.
#pragma once

#include "Export.h"
#include "Types.h"

#include <QWidget>

namespace kritzel {

/// A top-level window with a caption; put a `TTurtle` on it and call `Show()`.
/// Closing the first form ends the application.
class KRITZELWERK_EXPORT TForm : public QWidget {
    Q_OBJECT

public:
    /// A window with the caption, e.g. `TForm form("Spirale");`.
    explicit TForm(const TString& caption = TString(), QWidget* parent = nullptr);

    /// The window's caption.
    TString Caption() const;
    /// Sets the window's caption.
    void SetCaption(const TString& caption);

    /// Shows the window, sized to hold its controls unless it was given a size.
    void Show();

protected:
    /// Closing the main window ends the application, and with it any running drawing.
    void closeEvent(QCloseEvent* event) override;
};

} // namespace kritzel
