/*
 * The default skin of Quorvel Wedge Studio Deluxe, for the program's own skin engine.
 *
 * Format: a Qt style sheet in UTF-8, at most 1 MiB, split into sections by comments that hold
 * nothing but a marker:
 *   @window         always drawn on the skinned window (rules here reach its controls too)
 *   @controls       the window's controls
 *   @tool-tips      the tool tips of the window's controls
 *   @menus          the window's pop-up menus, such as a text box's context menu
 *   @message-boxes  every message box of the program
 * Text before the first marker belongs to @window; a section with an unknown marker is skipped.
 * Which sections are drawn is the program's choice; it draws all but @menus. Relative url()
 * paths are taken from this file's folder.
 *
 * The backgrounds of the window, its frame and its labels are the program's own (the button
 * face), and so are all fonts, which the layout is measured for: nothing here sets them.
 */

/* @window */

QWidget {
    selection-background-color: #3a6ea5;
    selection-color: #ffffff;
}

/* @controls */

QPushButton {
    color: palette(button-text);
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fdfdfe, stop: 1 #dbe2ea);
    border: 1px solid #7b8c9f;
    border-radius: 4px;
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
    color: #1f3d5c;
}

QLineEdit {
    border: 1px solid #8c9bab;
    border-radius: 3px;
    padding: 0px 3px;
    background: palette(base);
}

QLineEdit:focus {
    border-color: #3a6ea5;
}

QTreeView {
    border: 1px solid #8c9bab;
    background: palette(base);
}

QTreeView:focus {
    border-color: #3a6ea5;
}

QHeaderView::section {
    color: #1f3d5c;
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #f7f9fb, stop: 1 #dde4ec);
    border: none;
    border-right: 1px solid #b4c0cd;
    border-bottom: 1px solid #8c9bab;
    padding: 2px 4px;
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

QMessageBox {
    background: #e9eef3;
}

QMessageBox QPushButton {
    min-width: 72px;
    padding: 3px 12px;
    color: palette(button-text);
    background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #fdfdfe, stop: 1 #dbe2ea);
    border: 1px solid #7b8c9f;
    border-radius: 4px;
}

QMessageBox QPushButton:hover {
    border-color: #3a6ea5;
}
