! ostrem_geodesy -- the geodesy module ostrem from Fortran 2003: bind(C)
! interfaces to every function of ostrem.h, with the header's meanings.
!
! Coordinates in degrees: latitude positive to the north, in [-90, 90];
! longitude positive to the east, in [-180, 540] (above 180 moved down by
! 360 once).  Inputs go by value, results by reference; the functions that
! return integer(c_int) give 0 on success and 1 when an input is out of
! range, and then write nothing.  NaN is accepted and gives NaN.
!
! ostrem, midpoint and walk take and give real(c_float), rounding as the
! programs sorvane and brovic do; ostremd, midpointd and walkd are the same
! arithmetic in real(c_double).  geocen and geogrf convert a colatitude
! (radians from the north pole) between geographic and geocentric.
!
! geodesic, geodesic_walk and geodesic_midpoint are those of ostrem_geodesic.h:
! the WGS84 geodesic in kilometres, in real(c_double); every build has it
! (geodesic_available() is 1).
!
! Build with the compiler that built the installed module file, and link
! with the library:  gfortran prog.f90 $(pkg-config --cflags --libs ostrem)
! (ostrem-geodesic instead, for the ellipsoid's functions).
module ostrem_geodesy
  use, intrinsic :: iso_c_binding, only: c_int, c_float, c_double
  implicit none
  private
  public :: dmax, geocen, geogrf, ostrem, midpoint, walk, ostremd, midpointd, walkd
  public :: geodesic_available, geodesic, geodesic_walk, geodesic_midpoint, hypocentral

  interface
    ! The larger of two doubles: arg1 if arg1 > arg2, else arg2.
    real(c_double) function dmax(arg1, arg2) bind(C, name="dmax")
      import :: c_double
      real(c_double), value :: arg1, arg2
    end function dmax

    ! Geographic colatitude to geocentric colatitude, radians.
    real(c_double) function geocen(in_clat) bind(C, name="geocen")
      import :: c_double
      real(c_double), value :: in_clat
    end function geocen

    ! Geocentric colatitude to geographic colatitude, radians.
    real(c_double) function geogrf(in_clat) bind(C, name="geogrf")
      import :: c_double
      real(c_double), value :: in_clat
    end function geogrf

    ! Distance (degrees of arc), azimuth at the origin towards the target
    ! and back-azimuth at the target (degrees clockwise from north).
    integer(c_int) function ostrem(folat, folon, ftlat, ftlon, del, az, baz) &
        bind(C, name="ostrem")
      import :: c_int, c_float
      real(c_float), value :: folat, folon, ftlat, ftlon
      real(c_float), intent(out) :: del, az, baz
    end function ostrem

    ! The point halfway along the great circle: latitude, and longitude in
    ! [0, 360].
    integer(c_int) function midpoint(fqlat, fqlon, fslat, fslon, bplat, bplon) &
        bind(C, name="midpoint")
      import :: c_int, c_float
      real(c_float), value :: fqlat, fqlon, fslat, fslon
      real(c_float), intent(out) :: bplat, bplon
    end function midpoint

    ! The point reached from a start along an azimuth (in [-360, 360]) for a
    ! distance (degrees of arc, in [0, 180]).
    integer(c_int) function walk(folat, folon, faz, fdel, lat, lon) bind(C, name="walk")
      import :: c_int, c_float
      real(c_float), value :: folat, folon, faz, fdel
      real(c_float), intent(out) :: lat, lon
    end function walk

    integer(c_int) function ostremd(olat, olon, tlat, tlon, del, az, baz) &
        bind(C, name="ostremd")
      import :: c_int, c_double
      real(c_double), value :: olat, olon, tlat, tlon
      real(c_double), intent(out) :: del, az, baz
    end function ostremd

    integer(c_int) function midpointd(qlat, qlon, slat, slon, lat, lon) &
        bind(C, name="midpointd")
      import :: c_int, c_double
      real(c_double), value :: qlat, qlon, slat, slon
      real(c_double), intent(out) :: lat, lon
    end function midpointd

    integer(c_int) function walkd(olat, olon, az, del, lat, lon) bind(C, name="walkd")
      import :: c_int, c_double
      real(c_double), value :: olat, olon, az, del
      real(c_double), intent(out) :: lat, lon
    end function walkd

    ! 1 where this build has the ellipsoid, else 0.
    integer(c_int) function geodesic_available() bind(C, name="geodesic_available")
      import :: c_int
    end function geodesic_available

    ! Length of the WGS84 geodesic (km), azimuth at the earthquake and
    ! back-azimuth at the station (degrees, 0 to 360).
    integer(c_int) function geodesic(eqlat, eqlon, stlat, stlon, km, az, baz) &
        bind(C, name="geodesic")
      import :: c_int, c_double
      real(c_double), value :: eqlat, eqlon, stlat, stlon
      real(c_double), intent(out) :: km, az, baz
    end function geodesic

    ! The point reached km kilometres along the geodesic leaving at az.
    integer(c_int) function geodesic_walk(lat, lon, az, km, lat_reached, lon_reached) &
        bind(C, name="geodesic_walk")
      import :: c_int, c_double
      real(c_double), value :: lat, lon, az, km
      real(c_double), intent(out) :: lat_reached, lon_reached
    end function geodesic_walk

    ! The point halfway along the geodesic.
    integer(c_int) function geodesic_midpoint(eqlat, eqlon, stlat, stlon, lat, lon) &
        bind(C, name="geodesic_midpoint")
      import :: c_int, c_double
      real(c_double), value :: eqlat, eqlon, stlat, stlon
      real(c_double), intent(out) :: lat, lon
    end function geodesic_midpoint

    ! The straight line from the hypocentre (depth_km below the ellipsoid)
    ! to the station (elevation_m above it), in km.
    integer(c_int) function hypocentral(eqlat, eqlon, depth_km, stlat, stlon, elevation_m, km) &
        bind(C, name="hypocentral")
      import :: c_int, c_double
      real(c_double), value :: eqlat, eqlon, depth_km, stlat, stlon, elevation_m
      real(c_double), intent(out) :: km
    end function hypocentral
  end interface
end module ostrem_geodesy
