#include "data/practice/roles.h"
#include "data/db/dberror.h"
#include "data/practice/session.h"

namespace Roles {

namespace {

Users::Role sessionRole()
{
    const Users::Role role = Session::current().role();
    return role == Users::Role::None ? Users::Role::Administrator : role;
}

QString what(Duty duty)
{
    switch (duty) {
    case Duty::Customers: return QStringLiteral("τα στοιχεία των πελατών");
    case Duty::Appointments: return QStringLiteral("τα ραντεβού");
    case Duty::Receipts: return QStringLiteral("τις αποδείξεις και τις εισπράξεις από πελάτες");
    case Duty::Takings: return QStringLiteral("τις εισπράξεις σε διάστημα ημερομηνιών");
    case Duty::Expenses: return QStringLiteral("τα λειτουργικά έξοδα");
    case Duty::Office: return QStringLiteral("τις υπενθυμίσεις, το βιβλίο σημειώσεων και τα χρήσιμα τηλέφωνα");
    case Duty::Clinical: return QStringLiteral("το ιστορικό, τις επισκέψεις, το οδοντόγραμμα και το σχέδιο θεραπείας των πελατών");
    case Duty::PatientExport: return QStringLiteral("την εξαγωγή στοιχείων πελάτη");
    case Duty::CustomerDeletion: return QStringLiteral("τη διαγραφή πελατών");
    case Duty::Recall: return QStringLiteral("την ανάκληση πελατών");
    case Duty::Settings: return QStringLiteral("τις ρυθμίσεις του ιατρείου");
    case Duty::Numbering: return QStringLiteral("τον καθορισμό αρίθμησης των αποδείξεων");
    case Duty::Users: return QStringLiteral("τη διαχείριση των χρηστών");
    case Duty::AccessLog: return QStringLiteral("το ημερολόγιο προσβάσεων");
    case Duty::Backup: return QStringLiteral("τα αντίγραφα ασφαλείας");
    case Duty::Restore: return QStringLiteral("την επαναφορά αντιγράφου ασφαλείας");
    case Duty::JetImport: return QStringLiteral("τη μεταφορά δεδομένων από αρχείο Access");
    }
    return {};
}

}

bool allows(Users::Role role, Duty duty)
{
    switch (role) {
    case Users::Role::Administrator:
        return true;
    case Users::Role::Clinician:
        switch (duty) {
        case Duty::Customers:
        case Duty::Appointments:
        case Duty::Receipts:
        case Duty::Office:
        case Duty::Clinical:
        case Duty::PatientExport:
        case Duty::CustomerDeletion:
        case Duty::Recall:
            return true;
        default:
            return false;
        }
    case Users::Role::Reception:
        switch (duty) {
        case Duty::Customers:
        case Duty::Appointments:
        case Duty::Receipts:
        case Duty::Takings:
        case Duty::Expenses:
        case Duty::Office:
            return true;
        default:
            return false;
        }
    case Users::Role::None:
        return false;
    }
    return false;
}

bool allowed(Duty duty) { return allows(sessionRole(), duty); }

QString refusal(Duty duty)
{
    return QStringLiteral("Ο ρόλος σας (%1) δεν επιτρέπει %2.").arg(Users::roleText(sessionRole()), what(duty));
}

void require(Duty duty)
{
    if (!allowed(duty))
        throw DbError(refusal(duty));
}

}
