#pragma once

#include "store/Query.h"

// Suspends a query's bound controls for a scope; resumes them on every way out, errors included.
class ControlsSuspended
{
public:
    explicit ControlsSuspended(Query& query) : m_query(&query) { m_query->disableControls(); }
    ~ControlsSuspended() { resume(); }
    void resume()
    {
        if (m_query)
            m_query->enableControls();
        m_query = nullptr;
    }
    ControlsSuspended(const ControlsSuspended&) = delete;
    ControlsSuspended& operator=(const ControlsSuspended&) = delete;

private:
    Query* m_query;
};
