#include "EditContext.h"

namespace kestrow {

namespace {
std::string g_strEditProfile;
bool g_bEditConnection = false;
} // namespace

const std::string &CEditContext::GetProfileName()
{
    return g_strEditProfile;
}

void CEditContext::SetProfileName(const std::string &name)
{
    g_strEditProfile = name;
}

bool CEditContext::IsEditConnection()
{
    return g_bEditConnection;
}

void CEditContext::SetEditConnection(bool editConnection)
{
    g_bEditConnection = editConnection;
}

} // namespace kestrow
