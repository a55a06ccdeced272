#include "MainProfile.h"

namespace kestrow {

CMainProfile::CMainProfile(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Profiles"));
}

} // namespace kestrow
