#pragma once

class QWidget;

// Asks how many years a customer's medical records are kept after their
// last visit, and stores the answer for the practice.
void AskRetentionYears(QWidget *parent);
