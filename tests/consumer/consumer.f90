! A Fortran program built against an installed ostrem, through pkg-config
! and through CMake: the lines sorvane and brovic print for the same pairs.
program consumer
  use, intrinsic :: iso_c_binding, only: c_float, c_double
  use ostrem_geodesy
  implicit none
  real(c_float) :: del, az, baz, lat, lon
  real(c_double) :: deld, azd, bazd

  if (ostrem(0.0_c_float, 0.0_c_float, 0.0_c_float, 90.0_c_float, del, az, baz) /= 0) stop 1
  print '(A, 1X, A, 1X, A)', two(real(del, c_double)), two(real(az, c_double)), two(real(baz, c_double))
  if (midpoint(0.0_c_float, -90.0_c_float, 0.0_c_float, 0.0_c_float, lat, lon) /= 0) stop 1
  print '(A, 1X, A)', two(real(lat, c_double)), two(real(lon, c_double))
  if (ostremd(0.0_c_double, 0.0_c_double, 0.0_c_double, 90.0_c_double, deld, azd, bazd) /= 0) stop 1
  print '(A, 1X, A, 1X, A)', two(deld), two(azd), two(bazd)
  ! The ellipsoid, which every build has: a quarter of the equator.
  if (geodesic_available() /= 1) stop 1
  if (geodesic(0.0_c_double, 0.0_c_double, 0.0_c_double, 90.0_c_double, deld, azd, bazd) /= 0) stop 1
  print '(A, 1X, A, 1X, A)', three(deld), three(azd), three(bazd)
  ! A hypocentre 5 km deep, a station 1,000 m up, straight above it.
  if (hypocentral(10.0_c_double, 20.0_c_double, 5.0_c_double, 10.0_c_double, 20.0_c_double, &
                  1000.0_c_double, deld) /= 0) stop 1
  print '(A)', three(deld)
  ! Out of range: refused, and nothing written.
  del = -1.0
  if (ostrem(91.0_c_float, 0.0_c_float, 0.0_c_float, 0.0_c_float, del, az, baz) /= 1) stop 1
  if (del /= -1.0) stop 1

contains

  ! Two decimals as C's "%.2f" writes them, with the zero before the point
  ! that Fortran's F0.2 leaves out.
  function two(x) result(s)
    real(c_double), intent(in) :: x
    character(len=:), allocatable :: s
    character(len=32) :: buf
    write (buf, '(F32.2)') x
    s = trim(adjustl(buf))
    if (s(1:1) == '.') s = '0' // s
    if (s(1:2) == '-.') s = '-0' // s(2:)
  end function two

  function three(x) result(s)
    real(c_double), intent(in) :: x
    character(len=:), allocatable :: s
    character(len=32) :: buf
    write (buf, '(F32.3)') x
    s = trim(adjustl(buf))
  end function three
end program consumer
