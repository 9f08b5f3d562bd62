#pragma once

#include <QThreadStorage>
#include <functional>

// One T for each thread that asks, made on its first use and deleted by Qt when the thread ends. Used
// instead of a C++ thread_local object with a destructor: on Windows (MinGW's emulated TLS) the storage of
// such an object is freed before its destructor runs at thread exit, which corrupts the heap.
template <typename T> class PorHilo {
public:
    explicit PorHilo(std::function<T *()> hacer) : m_hacer(std::move(hacer)) {}
    T &local() {
        if (!m_datos.hasLocalData())
            m_datos.setLocalData(m_hacer());
        return *m_datos.localData();
    }

private:
    std::function<T *()> m_hacer;
    QThreadStorage<T *> m_datos;
};
