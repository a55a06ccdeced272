#include "LinkWatch.h"

#include "CommVarList.h"
#include "KestrowApp.h"
#include "StationMngr.h"
#include "StatusReader.h"
#include "StatusSnapshot.h"
#include "VarCodes.h"

namespace kestrow {

CLinkState CLinkWatch::Read()
{
    CKestrowApp &app = m_App;
    CLinkState state;
    if (!app.DriverConnected())
        (void)app.ConnectDriver();  // keeps the adapter's state
    if (app.DriverConnected()) {
        // One request tells whether the open adapter still answers.
        CCommVarList probe;
        CCommVar *var = probe.Add(VAR_CONNECTED, nullptr, nullptr);
        if (var == nullptr || !probe.Exec(false, false)) {
            app.CheckAdapter();
        } else if (CStationMngr *stations = app.StationMngr()) {
            state.scanActive = stations->UpdateFromScan();
            CStatusSnapshot s;
            app.StatusReader().ReadGeneral(s);
            state.connected = s.connected;
            if (s.connected) {
                state.ssid = s.ssid;
                state.signalDbm = s.signalDbm;
            }
        }
    }
    state.adapter = app.AdapterState();
    return state;
}

} // namespace kestrow
