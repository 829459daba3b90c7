#pragma once
#include "data/practice/users.h"
#include <QString>

// Which role may do what. The windows ask allowed() to show their entries;
// the units of work that read or change what a role may not see call
// require(), so that a window reached some other way cannot read it either.
namespace Roles {

enum class Duty {
    Customers,   // finding customers, their card (contact details), a new customer
    Appointments,
    Receipts,   // issuing receipts, the receipts issued, a customer's takings
    Takings,    // the takings between two dates
    Expenses,
    Office,             // reminders, the notebook, useful phones
    Clinical,           // history and its remarks, visits, tooth chart, treatment plan
    PatientExport,      // everything held on a customer, in one file
    CustomerDeletion,   // deleting a customer takes their clinical data with them
    Recall,
    Settings,    // the receipts' details, the price list of work
    Numbering,   // the receipt numbering
    Users,
    AccessLog,
    Backup,
    Restore,
    JetImport,
};

bool allows(Users::Role role, Duty duty);
// The session's role may. Nobody signed in through the session (the tool's
// and the import's own connections) counts as the administrator.
bool allowed(Duty duty);
// «Ο ρόλος σας (Υποδοχή) δεν επιτρέπει …», for the session's role.
QString refusal(Duty duty);
// Throws DbError with refusal() when the session's role may not.
void require(Duty duty);

}
