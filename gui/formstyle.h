#pragma once
class QWidget;
class QDialog;

// The look every window shares: sky-blue background, Tahoma 8 pt where
// installed (else a sans-serif with Greek glyphs).
// Includes useGreekCalendars.
void applyFormStyle(QWidget *w);
// Calendars and date edits under w (and their popups) in Greek.
void useGreekCalendars(QWidget *w);
// For dialogs: the shared look, fixed at its designed size, centred on the
// screen, no "?" button.
void setupDialog(QDialog *d);
// Bold field captions, red bold required marks.
void makeBold(QWidget *w);
void makeRequiredMark(QWidget *w);
