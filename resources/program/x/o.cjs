/*
 * The default skin of Quorvel Wedge Studio Deluxe, for the program's own skin engine.
 *
 * Format: a Qt style sheet in UTF-8, at most 1 MiB, split into sections by comments that hold
 * nothing but a marker:
 *   @window         always drawn on the skinned window's controls (never on windows it opens)
 *   @controls       the window's controls
 *   @tool-tips      the tool tips of the window's controls
 *   @menus          the window's pop-up menus, such as a text box's context menu
 *   @message-boxes  every message box of the program
 * Text before the first marker belongs to @window; a section with an unknown marker is skipped.
 * Which sections are drawn is the program's choice; it draws all but @menus. Relative url()
 * paths are taken from this file's folder.
 *
 * A marker may add a variant, as in @controls:light and @controls:dark: its rules are drawn right
 * after the section's own, only while the desktop palette is light (dark text on a light window)
 * or dark (light text on a dark window). Colours come in pairs: a rule that gives a fixed
 * background also gives the text colour that reads on it, and a rule that takes a background from
 * the palette, palette(button), takes its text colour from there too, palette(button-text). The
 * fixed look below is drawn on light desktops; on dark ones the desktop's own pairs take over.
 *
 * The backgrounds of the window, its frame and its labels are the program's own (the button
 * face, with the button-text colour), and so are all fonts, which the layout is measured for:
 * nothing here sets them.
 */

/* @window */

QWidget {
    selection-background-color: #3a6ea5;
    selection-color: #ffffff;
}

/* @controls */

QPushButton {
    border-radius: 4px;
}

QGroupBox {
    border: 1px solid #8c9bab;
    border-radius: 5px;
    margin-top: 8px;
}

QGroupBox::title {
    subcontrol-origin: margin;
    subcontrol-position: top left;
    left: 8px;
    padding: 0px 3px;
}

QLineEdit {
    border: 1px solid #8c9bab;
    border-radius: 3px;
    padding: 0px 3px;
    color: palette(text);
    background: palette(base);
}

QLineEdit:focus {
    border-color: #3a6ea5;
}

QTreeView {
    border: 1px solid #8c9bab;
    color: palette(text);
    background: palette(base);
}

QTreeView:focus {
    border-color: #3a6ea5;
}

QHeaderView::section {
    border: none;
    border-right: 1px solid #b4c0cd;
    border-bottom: 1px solid #8c9bab;
    padding: 2px 4px;
}

/* @controls:light */

QPushButton {
    color: #000000;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fdfdfe, stop: 1 #dbe2ea);
    border: 1px solid #7b8c9f;
}

QPushButton:hover {
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #ffffff, stop: 1 #cfe0f3);
    border-color: #3a6ea5;
}

QPushButton:pressed {
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #bcd0e6, stop: 1 #e3ebf4);
    border-color: #2b5580;
}

QPushButton:focus {
    border: 2px solid #3a6ea5;
}

/* The frame's title sits on the button face, which is light on a light desktop. */
QGroupBox::title {
    color: #1f3d5c;
}

QHeaderView::section {
    color: #1f3d5c;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #f7f9fb, stop: 1 #dde4ec);
}

/* @controls:dark */

QPushButton {
    color: palette(button-text);
    background: palette(button);
    border: 1px solid #7b8c9f;
}

QPushButton:hover {
    border-color: palette(highlight);
}

QPushButton:pressed {
    border: 2px solid #7b8c9f;
}

QPushButton:focus {
    border: 2px solid palette(highlight);
}

QHeaderView::section {
    color: palette(button-text);
    background: palette(button);
}

/* @tool-tips */

QToolTip {
    color: #13283d;
    background: #fdf7e3;
    border: 1px solid #7b8c9f;
    padding: 2px;
}

/* @menus */

QMenu {
    color: #000000;
    background: #fbfcfd;
    border: 1px solid #7b8c9f;
}

QMenu::item {
    padding: 3px 24px 3px 20px;
}

QMenu::item:selected {
    color: #ffffff;
    background: #3a6ea5;
}

/* @message-boxes */

QMessageBox QPushButton {
    min-width: 72px;
    padding: 3px 12px;
    border-radius: 4px;
}

/* @message-boxes:light */

QMessageBox {
    background: #e9eef3;
}

QMessageBox QLabel {
    color: #000000;
}

QMessageBox QPushButton {
    color: #000000;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fdfdfe, stop: 1 #dbe2ea);
    border: 1px solid #7b8c9f;
}

QMessageBox QPushButton:hover {
    border-color: #3a6ea5;
}

/* @message-boxes:dark */

QMessageBox QPushButton {
    color: palette(button-text);
    background: palette(button);
    border: 1px solid #7b8c9f;
}

QMessageBox QPushButton:hover {
    border-color: palette(highlight);
}
